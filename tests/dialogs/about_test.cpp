// About window: its load-time texts, the keys that close it, and how it finds and starts the
// system information tool, on a stand-in registry and launcher.
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QtTest>
#include <map>

#include "base/error.h"
#include "dialogs/AppTitle.h"
#include "dialogs/FormAbout.h"

using namespace pondera;

namespace {

const std::string kMsinfoKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const std::string kLocationKey = "SOFTWARE\\Microsoft\\Shared Tools Location";

struct Value {
    uint32_t type;
    QByteArray data;
};

// A registry of a few keys; keeps count of what was opened and closed.
class FakeRegistry final : public RegistryReader {
  public:
    std::map<std::string, std::map<std::string, Value>> keys;
    QStringList opened;
    int openKeys = 0;
    uint32_t lastAccess = 0;
    uint32_t lastRoot = 0;

    long OpenKey(uint32_t root, const std::string &keyName, uint32_t options, uint32_t access,
                 Handle &key) override {
        opened << QString::fromStdString(keyName);
        lastRoot = root;
        lastAccess = access;
        auto it = keys.find(keyName);
        if (it == keys.end() || options != 0) return 2;
        key = reinterpret_cast<Handle>(&it->second);
        ++openKeys;
        return 0;
    }
    long QueryValue(Handle key, const std::string &valueName, uint32_t &type, unsigned char *data,
                    uint32_t &size) override {
        const auto &values = *reinterpret_cast<std::map<std::string, Value> *>(key);
        auto it = values.find(valueName);
        if (it == values.end()) return 2;
        type = it->second.type;
        const auto n = static_cast<uint32_t>(it->second.data.size());
        if (n > size) return 234;  // more data than the buffer takes
        std::copy(it->second.data.begin(), it->second.data.end(), data);
        size = n;
        return 0;
    }
    void CloseKey(Handle) override { --openKeys; }
};

class FakeLauncher final : public ProgramLauncher {
  public:
    QStringList files;    // ordinary files that exist
    QString fallback;     // the platform's own tool, if any
    QStringList asked;    // FileExists calls
    QStringList started;  // Start calls that succeeded
    bool FileExists(const QString &path) override {
        asked << path;
        return files.contains(path);
    }
    bool Start(const QString &path) override {
        if (!files.contains(path)) return false;
        started << path;
        return true;
    }
    QString FindFallbackTool() override { return fallback; }
};

struct Rig {
    std::shared_ptr<FakeRegistry> registry = std::make_shared<FakeRegistry>();
    std::shared_ptr<FakeLauncher> launcher = std::make_shared<FakeLauncher>();
    QStringList messages;
    SysInfoServices services() {
        return {registry, launcher, [this](QWidget *, const QString &text) { messages << text; }};
    }
};

QByteArray Sz(const char *text, bool closingZero = true) {
    QByteArray bytes(text);
    if (closingZero) bytes.append('\0');
    return bytes;
}

}  // namespace

class AboutTest : public QObject {
    Q_OBJECT
  private slots:
    void labelsOnEveryOpening();
    void enterAndEscClose_data();
    void enterAndEscClose();
    void startSysInfo_data();
    void startSysInfo();
    void getKeyValueDecoding_data();
    void getKeyValueDecoding();
    void getKeyValueFailures();
    void emptyValueRaisesAfterClosingKey();
    void noRegistryFindsNoKeys();
    void largeFontGrowsTheWindow();
};

// With a 16-point font the window grows with it and every caption and text fits its control.
void AboutTest::largeFontGrowsTheWindow() {
    Rig rig;
    const QSize designed = FormAbout(rig.services()).size();
    const QFont font = QApplication::font();
    QFont large = font;
    large.setPointSize(16);
    QApplication::setFont(large);
    FormAbout window(rig.services());
    QApplication::setFont(font);
    QVERIFY(window.width() > designed.width());
    QVERIFY(window.height() > designed.height());
    for (QPushButton *button : window.findChildren<QPushButton *>())
        QVERIFY2(button->fontMetrics().horizontalAdvance(button->text().remove('&')) <=
                     button->width() - 8,
                 qPrintable(button->text()));
    for (QLabel *label : window.findChildren<QLabel *>()) {
        if (label->text().isEmpty()) continue;
        const QRect needed = label->fontMetrics().boundingRect(QRect(0, 0, label->width(), 10000),
                                                               Qt::TextWordWrap, label->text());
        QVERIFY2(needed.height() <= label->height(), qPrintable(label->text()));
    }
}

void AboutTest::labelsOnEveryOpening() {
    for (int opening = 0; opening < 2; ++opening) {
        Rig rig;
        FormAbout window(rig.services());
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QCOMPARE(window.windowTitle(), QStringLiteral("Pondera for 2D 2010"));
        QCOMPARE(window.lblTitle()->text(), QString::fromUtf8(kAppTitle));
        QCOMPARE(window.lblVersion()->text(), QStringLiteral("Version 2.00-2010"));
        QCOMPARE(window.lblDescription()->text(),
                 QStringLiteral("画像に写っている人体の重心位置を計算します。"));
        QVERIFY(!window.lblDisclaimer()->text().isEmpty());
        QCOMPARE(window.cmdSysInfo()->text(), QStringLiteral("ｼｽﾃﾑ情報(&S)..."));
        QCOMPARE(window.picIcon()->pixmap().size(), QSize(32, 32));
        QCOMPARE(window.size(), QSize(382, 237));
        QCOMPARE(window.minimumSize(), window.maximumSize());
        QVERIFY(window.cmdOK()->isDefault());
        QCOMPARE(window.focusWidget(), window.cmdOK());
        // Texts keep clear of each other at the window's font: each label's text fits its box.
        for (QLabel *label : {window.lblTitle(), window.lblVersion(), window.lblDescription(),
                              window.lblDisclaimer()})
            QVERIFY2(label->heightForWidth(label->width()) <= label->height() ||
                         label->sizeHint().height() <= label->height(),
                     qPrintable(label->objectName()));
        window.close();
    }
}

void AboutTest::enterAndEscClose_data() {
    QTest::addColumn<int>("key");
    QTest::newRow("Enter") << int(Qt::Key_Return);
    QTest::newRow("Esc") << int(Qt::Key_Escape);
}

void AboutTest::enterAndEscClose() {
    QFETCH(int, key);
    Rig rig;
    FormAbout window(rig.services());
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
    QVERIFY(!window.isVisible());
    QCOMPARE(window.result(), int(QDialog::Accepted));
    QVERIFY(rig.launcher->started.isEmpty());
}

void AboutTest::startSysInfo_data() {
    QTest::addColumn<QByteArray>("msinfoPath");  // null: no first entry
    QTest::addColumn<uint32_t>("msinfoType");
    QTest::addColumn<QByteArray>("location");  // null: no second entry
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("fallback");
    QTest::addColumn<QString>("started");  // empty: nothing started, message shown
    QTest::addColumn<QStringList>("lookups");

    const QStringList both{QString::fromStdString(kMsinfoKey),
                           QString::fromStdString(kLocationKey)};
    const QStringList first{QString::fromStdString(kMsinfoKey)};
    const QString tool = QStringLiteral("C:\\Tools\\msinfo32.exe");
    const QString inFolder = QStringLiteral("C:\\Shared\\MSINFO32.EXE");

    QTest::newRow("first entry, tool there")
        << Sz("C:\\Tools\\msinfo32.exe") << kRegSz << QByteArray() << QStringList{tool} << QString()
        << tool << first;
    QTest::newRow("first entry, tool missing")
        << Sz("C:\\Tools\\msinfo32.exe") << kRegSz << QByteArray() << QStringList{} << QString()
        << QString() << first;
    QTest::newRow("first entry wins over second")
        << Sz("C:\\Tools\\msinfo32.exe") << kRegSz << Sz("C:\\Shared")
        << QStringList{tool, inFolder} << QString() << tool << first;
    QTest::newRow("second entry, folder holds tool")
        << QByteArray() << kRegSz << Sz("C:\\Shared") << QStringList{inFolder} << QString()
        << inFolder << both;
    QTest::newRow("second entry, folder lacks tool")
        << QByteArray() << kRegSz << Sz("C:\\Shared") << QStringList{}
        << QStringLiteral("/usr/bin/x") << QString() << both;
    QTest::newRow("neither entry, no tool of our own")
        << QByteArray() << kRegSz << QByteArray() << QStringList{} << QString() << QString()
        << both;
    QTest::newRow("neither entry, a tool of our own")
        << QByteArray() << kRegSz << QByteArray()
        << QStringList{QStringLiteral("/usr/bin/hardinfo")} << QStringLiteral("/usr/bin/hardinfo")
        << QStringLiteral("/usr/bin/hardinfo") << both;
    QTest::newRow("first entry of expandable type: empty path")
        << Sz("C:\\Tools\\msinfo32.exe") << uint32_t{2} << Sz("C:\\Shared")
        << QStringList{tool, inFolder} << QString() << QString() << first;
    QTest::newRow("first entry empty: message at once")
        << QByteArray("") << kRegSz << Sz("C:\\Shared") << QStringList{inFolder} << QString()
        << QString() << first;
}

void AboutTest::startSysInfo() {
    QFETCH(QByteArray, msinfoPath);
    QFETCH(uint32_t, msinfoType);
    QFETCH(QByteArray, location);
    QFETCH(QStringList, files);
    QFETCH(QString, fallback);
    QFETCH(QString, started);
    QFETCH(QStringList, lookups);

    Rig rig;
    if (!msinfoPath.isNull()) rig.registry->keys[kMsinfoKey]["PATH"] = {msinfoType, msinfoPath};
    if (!location.isNull()) rig.registry->keys[kLocationKey]["MSINFO"] = {kRegSz, location};
    rig.launcher->files = files;
    rig.launcher->fallback = fallback;
    FormAbout window(rig.services());
    QTest::mouseClick(window.cmdSysInfo(), Qt::LeftButton);

    QCOMPARE(rig.registry->opened, lookups);
    QCOMPARE(rig.registry->lastRoot, kHKeyLocalMachine);
    QCOMPARE(rig.registry->lastAccess, uint32_t{0x2003F});
    QCOMPARE(rig.registry->openKeys, 0);
    if (started.isEmpty()) {
        QVERIFY(rig.launcher->started.isEmpty());
        QCOMPARE(rig.messages, QStringList{QStringLiteral("現時点ではｼｽﾃﾑ情報を使用できません")});
    } else {
        QCOMPARE(rig.launcher->started, QStringList{started});
        QVERIFY(rig.messages.isEmpty());
    }
    // The first entry's path is started without a test for a file.
    if (started == QStringLiteral("C:\\Tools\\msinfo32.exe"))
        QVERIFY(rig.launcher->asked.isEmpty());
}

void AboutTest::getKeyValueDecoding_data() {
    QTest::addColumn<uint32_t>("type");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("expected");
    QTest::newRow("text with closing zero")
        << kRegSz << Sz("C:\\Tools") << QStringLiteral("C:\\Tools");
    QTest::newRow("text without closing zero")
        << kRegSz << Sz("C:\\Tools", false) << QStringLiteral("C:\\Tools");
    QTest::newRow("only one zero dropped")
        << kRegSz << QByteArray("ab\0\0", 4) << QString::fromLatin1("ab\0", 3);
    QTest::newRow("one zero byte only") << kRegSz << QByteArray("\0", 1) << QString();
    QTest::newRow("DWORD, last byte first")
        << kRegDword << QByteArray("\x78\x56\x34\x12", 4) << QStringLiteral("&h12345678");
    QTest::newRow("DWORD with a zero high byte loses it like text")
        << kRegDword << QByteArray("\x01\x00\x00\x00", 4) << QStringLiteral("&h000001");
    QTest::newRow("other type keeps the value passed in")
        << uint32_t{2} << Sz("%SystemRoot%") << QStringLiteral("kept");
    QTest::newRow("binary type keeps the value passed in")
        << uint32_t{3} << QByteArray("\x01\x02", 2) << QStringLiteral("kept");
}

void AboutTest::getKeyValueDecoding() {
    QFETCH(uint32_t, type);
    QFETCH(QByteArray, data);
    QFETCH(QString, expected);
    Rig rig;
    rig.registry->keys["K"]["V"] = {type, data};
    FormAbout window(rig.services());
    QString value = QStringLiteral("kept");
    QVERIFY(window.GetKeyValue(kHKeyLocalMachine, "K", "V", value));
    QCOMPARE(value, expected);
    QCOMPARE(rig.registry->openKeys, 0);
}

void AboutTest::getKeyValueFailures() {
    Rig rig;
    rig.registry->keys["K"]["V"] = {kRegSz, Sz("x")};
    rig.registry->keys["K"]["big"] = {kRegSz, QByteArray(1025, 'a')};
    rig.registry->keys["K"]["full"] = {kRegSz, QByteArray(1024, 'a')};
    FormAbout window(rig.services());
    QString value = QStringLiteral("old");
    QVERIFY(!window.GetKeyValue(kHKeyLocalMachine, "missing", "V", value));
    QCOMPARE(value, QString());
    value = QStringLiteral("old");
    QVERIFY(!window.GetKeyValue(kHKeyLocalMachine, "K", "missing", value));
    QCOMPARE(value, QString());
    value = QStringLiteral("old");
    QVERIFY(!window.GetKeyValue(kHKeyLocalMachine, "K", "big", value));
    QCOMPARE(value, QString());
    // Exactly the buffer's size still reads, every byte kept.
    QVERIFY(window.GetKeyValue(kHKeyLocalMachine, "K", "full", value));
    QCOMPARE(value.size(), 1024);
    QCOMPARE(rig.registry->openKeys, 0);
}

void AboutTest::emptyValueRaisesAfterClosingKey() {
    Rig rig;
    rig.registry->keys["K"]["V"] = {kRegSz, QByteArray("")};
    FormAbout window(rig.services());
    QString value = QStringLiteral("old");
    try {
        window.GetKeyValue(kHKeyLocalMachine, "K", "V", value);
        QFAIL("no error raised");
    } catch (const Error &e) {
        QCOMPARE(e.number(), kErrInvalidCall);
    }
    QCOMPARE(rig.registry->openKeys, 0);
}

void AboutTest::noRegistryFindsNoKeys() {
    // Without a system registry both lookups fail, and the tool comes from this platform's list.
    Rig rig;
    rig.registry.reset();
    SysInfoServices services = rig.services();
    services.registry = std::make_shared<EmptyRegistry>();
    rig.launcher->fallback = QStringLiteral("/opt/sysinfo");
    rig.launcher->files = QStringList{QStringLiteral("/opt/sysinfo")};
    FormAbout window(services);
    QString value = QStringLiteral("old");
    QVERIFY(!window.GetKeyValue(kHKeyLocalMachine, kMsinfoKey, "PATH", value));
    QCOMPARE(value, QString());
    window.StartSysInfo();
    QCOMPARE(rig.launcher->started, QStringList{QStringLiteral("/opt/sysinfo")});
    QVERIFY(rig.messages.isEmpty());
#ifndef _WIN32
    QVERIFY(!SystemLauncher::FallbackToolNames().isEmpty());
#endif
}

QTEST_MAIN(AboutTest)
#include "about_test.moc"
