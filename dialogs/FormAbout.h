#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>
#include <string>

#include "dialogs/SysInfo.h"

class QLabel;
class QPushButton;

namespace pondera {

// Title, version, purpose, and a button that starts a system information tool.
class FormAbout : public QDialog {
    Q_OBJECT
  public:
    explicit FormAbout(QWidget *parent = nullptr);
    // The same window on the given registry, launcher and message box.
    explicit FormAbout(SysInfoServices services, QWidget *parent = nullptr);

    // Finds the system information tool (two registry entries, then this platform's own tools)
    // and starts it; any failure ends in one message box.
    void StartSysInfo();
    // Reads the value SubKeyRef of the key KeyName under KeyRoot into KeyVal as text. False, with
    // KeyVal emptied, when the key or value cannot be read; a value of another type than text or
    // 32-bit number leaves KeyVal as it was and still counts as read. A value with no data raises
    // an error.
    bool GetKeyValue(uint32_t KeyRoot, const std::string &KeyName, const std::string &SubKeyRef,
                     QString &KeyVal);

    QLabel *lblTitle() const { return lblTitle_; }
    QLabel *lblVersion() const { return lblVersion_; }
    QLabel *lblDescription() const { return lblDescription_; }
    QLabel *lblDisclaimer() const { return lblDisclaimer_; }
    QLabel *picIcon() const { return picIcon_; }
    QPushButton *cmdOK() const { return cmdOK_; }
    QPushButton *cmdSysInfo() const { return cmdSysInfo_; }

    static const QString &UnavailableMessage();

  protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

  private:
    void BuildWindow();
    void Form_Load();
    void cmdOK_Click();
    void cmdSysInfo_Click();

    SysInfoServices services_;
    QPushButton *cmdOK_ = nullptr;
    QLabel *picIcon_ = nullptr;
    QPushButton *cmdSysInfo_ = nullptr;
    QLabel *lblDescription_ = nullptr;
    QLabel *lblDisclaimer_ = nullptr;
    QLabel *lblTitle_ = nullptr;
    QLabel *lblVersion_ = nullptr;
};

}  // namespace pondera
