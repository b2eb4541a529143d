#pragma once

#include <QObject>
#include <QPointF>
#include <QString>
#include <cstdint>
#include <optional>

class QLabel;
class QMainWindow;
class QPushButton;
class QWidget;

namespace pondera {

// The main window's status bar: a banner while a demonstration record is shown (these are
// restored at every start, so work typed into one does not stay), the current landmark with its
// English name and side, how many landmarks are placed, and the model coordinates under the
// pointer. It only shows; the window tells it what changed.
class StatusPanel : public QObject {
    Q_OBJECT
  public:
    // The records the program writes anew at every start.
    static bool IsDemoCode(int16_t code) { return code >= 0 && code <= 3; }

    explicit StatusPanel(QMainWindow *window);

    void SetRecord(int16_t code);
    void SetCurrentLandMark(int16_t index);
    void SetPlacedCount(int placed);
    // Model coordinates (x, z) under the pointer; nothing while it is off the picture.
    void SetPointer(std::optional<QPointF> model);

    QWidget *DemoBanner() const { return demoBanner_; }
    QPushButton *DemoNewButton() const { return demoNew_; }
    QLabel *LandMarkText() const { return landMark_; }
    QLabel *PlacedText() const { return placed_; }
    QLabel *PointerText() const { return pointer_; }

  signals:
    // The banner's offer of a record of one's own was taken.
    void newRecordRequested();

  private:
    QWidget *demoBanner_ = nullptr;
    QPushButton *demoNew_ = nullptr;
    QLabel *landMark_ = nullptr;
    QLabel *placed_ = nullptr;
    QLabel *pointer_ = nullptr;
};

}  // namespace pondera
