#include "app/ModuleMain.h"

int main(int argc, char **argv) {
    return pondera::ModuleMain(argc, argv);
}
