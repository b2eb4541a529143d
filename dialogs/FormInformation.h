#pragma once

#include <QDialog>

namespace pondera {

// The help window: fixed texts, OK closes it.
class FormInformation : public QDialog {
    Q_OBJECT
public:
    explicit FormInformation(QWidget *parent = nullptr);
};

}  // namespace pondera
