#pragma once

#include <QDialog>
#include <cstdint>

#include "ClassEXCEL.h"

namespace pondera {

// Record selection: lists every record of the store ("code sex picture-name"); OK hands the
// selected position back in curIDCode. Form_Load runs in the constructor (the list is built on
// every opening, which moves the store's current record through all codes).
class DialogLoad : public QDialog {
    Q_OBJECT
public:
    DialogLoad(ClassEXCEL &store, int16_t &curIDCode, QWidget *parent = nullptr);
};

}  // namespace pondera
