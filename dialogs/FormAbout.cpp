#include "dialogs/FormAbout.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStringDecoder>
#include <array>

#include "base/error.h"
#include "base/version.h"
#include "dialogs/AboutIcon.h"
#include "dialogs/AppTitle.h"
#include "dialogs/FontScale.h"

namespace pondera {

namespace {

constexpr QSize kClientSize{382, 237};
constexpr QPoint kScreenPos{156, 129};
constexpr QRect kOKRect{283, 175, 92, 23};
constexpr QRect kIconRect{16, 16, 36, 36};
constexpr QRect kSysInfoRect{284, 205, 92, 23};
constexpr QRect kDescriptionRect{70, 75, 259, 78};
constexpr QRect kDisclaimerRect{17, 175, 258, 55};
constexpr QRect kTitleRect{70, 16, 259, 32};
constexpr QRect kVersionRect{70, 52, 259, 15};

constexpr uint32_t kValueBufferSize = 1024;

// The registry's text is in the system's ANSI code page.
QString DecodeAnsi(const unsigned char *bytes, uint32_t count) {
    QStringDecoder decode(QStringConverter::System);
    return decode(QByteArrayView(reinterpret_cast<const char *>(bytes), count));
}

QLabel *MakeLabel(QWidget *parent, const char *name, const QRect &rect, bool blackText) {
    auto *label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(rect);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(true);
    if (blackText) {
        QPalette pal = label->palette();
        pal.setColor(QPalette::WindowText, Qt::black);
        label->setPalette(pal);
    }
    return label;
}

}  // namespace

FormAbout::FormAbout(QWidget *parent) : FormAbout(SysInfoServices::Platform(), parent) {}

FormAbout::FormAbout(SysInfoServices services, QWidget *parent)
    : QDialog(parent), services_(std::move(services)) {
    BuildWindow();
    Form_Load();
}

const QString &FormAbout::UnavailableMessage() {
    static const QString text = tr("現時点ではｼｽﾃﾑ情報を使用できません");
    return text;
}

void FormAbout::BuildWindow() {
    setWindowTitle(tr("ﾊﾞｰｼﾞｮﾝ情報"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    const double scale = FontScale(font());
    setFixedSize(Scaled(kClientSize, scale));
    move(Scaled(kScreenPos, scale));

    cmdOK_ = new QPushButton(QStringLiteral("OK"), this);
    cmdOK_->setObjectName(QStringLiteral("cmdOK"));
    cmdOK_->setGeometry(Scaled(kOKRect, scale));
    cmdOK_->setDefault(true);

    picIcon_ = MakeLabel(this, "picIcon", Scaled(kIconRect, scale), false);
    picIcon_->setPixmap(AboutIconPixmap());

    cmdSysInfo_ = new QPushButton(tr("ｼｽﾃﾑ情報(&S)..."), this);
    cmdSysInfo_->setObjectName(QStringLiteral("cmdSysInfo"));
    cmdSysInfo_->setGeometry(Scaled(kSysInfoRect, scale));

    lblDescription_ = MakeLabel(this, "lblDescription", Scaled(kDescriptionRect, scale), true);
    lblDescription_->setText(tr("画像に写っている人体の重心位置を計算します。"));
    lblDisclaimer_ = MakeLabel(this, "lblDisclaimer", Scaled(kDisclaimerRect, scale), true);
    lblDisclaimer_->setText(
        tr("計算結果はおおよその目安です。本プログラムの使用により生じた損害について、"
           "作者は責任を負いません。"));
    lblTitle_ = MakeLabel(this, "lblTitle", Scaled(kTitleRect, scale), true);
    lblVersion_ = MakeLabel(this, "lblVersion", Scaled(kVersionRect, scale), false);

    setTabOrder(cmdOK_, cmdSysInfo_);
    cmdOK_->setFocus();

    connect(cmdOK_, &QPushButton::clicked, this, &FormAbout::cmdOK_Click);
    connect(cmdSysInfo_, &QPushButton::clicked, this, &FormAbout::cmdSysInfo_Click);
}

void FormAbout::Form_Load() {
    setWindowTitle(QStringLiteral("Pondera for 2D 2010"));
    lblVersion_->setText(QString::fromUtf8(kVersionText));
    lblTitle_->setText(QString::fromUtf8(kAppTitle));
}

void FormAbout::cmdOK_Click() {
    accept();
}

void FormAbout::cmdSysInfo_Click() {
    StartSysInfo();
}

void FormAbout::StartSysInfo() {
    try {
        QString path;
        if (GetKeyValue(kHKeyLocalMachine, "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH",
                        path)) {
            // The entry names the tool itself; starting it is the only test it gets.
            if (services_.launcher->Start(path)) return;
        } else if (GetKeyValue(kHKeyLocalMachine, "SOFTWARE\\Microsoft\\Shared Tools Location",
                               "MSINFO", path)) {
            // This entry names the folder the tool is in.
            const QString tool = path + QStringLiteral("\\MSINFO32.EXE");
            if (services_.launcher->FileExists(tool) && services_.launcher->Start(tool)) return;
        } else {
            // Neither entry exists (always so without a system registry): this platform's own.
            const QString tool = services_.launcher->FindFallbackTool();
            if (!tool.isEmpty() && services_.launcher->Start(tool)) return;
        }
    } catch (const std::exception &) {
        // Whatever went wrong, the user hears the same.
    }
    services_.showMessage(this, UnavailableMessage());
}

bool FormAbout::GetKeyValue(uint32_t KeyRoot, const std::string &KeyName,
                            const std::string &SubKeyRef, QString &KeyVal) {
    RegistryReader &registry = *services_.registry;
    RegistryReader::Handle key = 0;
    if (registry.OpenKey(KeyRoot, KeyName, 0, kKeyAllAccess, key) != 0) {
        KeyVal.clear();
        return false;
    }
    std::array<unsigned char, kValueBufferSize> buffer{};
    uint32_t size = kValueBufferSize;
    uint32_t type = 0;
    if (registry.QueryValue(key, SubKeyRef, type, buffer.data(), size) != 0) {
        KeyVal.clear();
        registry.CloseKey(key);
        return false;
    }
    if (size == 0) {
        registry.CloseKey(key);
        throw Error(kErrInvalidCall,
                    "Registry value " + SubKeyRef + " of " + KeyName + " holds no data");
    }
    size = std::min(size, kValueBufferSize);
    // One closing zero byte is dropped, and only one.
    if (buffer[size - 1] == 0) --size;
    switch (type) {
        case kRegSz:
            KeyVal = DecodeAnsi(buffer.data(), size);
            break;
        case kRegDword: {
            // "&h" and the bytes as hexadecimal, the last byte first.
            QString text = QStringLiteral("&h");
            for (uint32_t i = size; i > 0; --i)
                text += QStringLiteral("%1").arg(buffer[i - 1], 2, 16, QLatin1Char('0')).toUpper();
            KeyVal = text;
            break;
        }
        default:
            break;  // other types leave KeyVal as it came
    }
    registry.CloseKey(key);
    return true;
}

void FormAbout::paintEvent(QPaintEvent *event) {
    QDialog::paintEvent(event);
    // Etched separator above the buttons: a grey rule with a white one just under it.
    const double scale = FontScale(font());
    QPainter p(this);
    p.setPen(QPen(QColor(128, 128, 128), 1));
    const int y = Scaled(163, scale);
    p.drawLine(Scaled(6, scale), y, Scaled(377, scale), y);
    p.fillRect(QRect(QPoint(Scaled(7, scale), y + 1), QPoint(Scaled(377, scale), y + 2)),
               Qt::white);
}

void FormAbout::keyPressEvent(QKeyEvent *event) {
    // Esc presses OK, as the cancel button.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        cmdOK_->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace pondera
