#pragma once

#include <QDialog>

namespace pondera {

// Title, version, purpose, and a button that starts a system information tool.
class FormAbout : public QDialog {
    Q_OBJECT
public:
    explicit FormAbout(QWidget *parent = nullptr);
};

}  // namespace pondera
