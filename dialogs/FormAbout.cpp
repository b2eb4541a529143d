#include "FormAbout.h"

namespace pondera {

FormAbout::FormAbout(QWidget *parent) : QDialog(parent) {}

}  // namespace pondera
