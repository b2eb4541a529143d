#pragma once

#include <QWidget>

#include "report/RecordData.h"

class QLabel;
class QTimer;

namespace pondera {

// The results of the record shown, in one compact row below the picture and the landmark table:
// the body centre of gravity to one decimal, its height as a share of the stature, its place over
// the base of support, and how many landmarks are placed. Derived from the landmarks; nothing of
// it is stored.
class ResultsPanel : public QWidget {
    Q_OBJECT
  public:
    explicit ResultsPanel(QWidget *parent = nullptr);

    void Show(const report::Results &results);
    void Clear();
    // A short note at the end of the row (a file saved), gone after a few seconds.
    void ShowNote(const QString &text);

    // The labels, named "LabelResultCOG", "LabelResultStature", "LabelResultBase" and
    // "LabelResultPlaced"; the note "LabelResultNote".
    QLabel *LabelCOG = nullptr;
    QLabel *LabelStature = nullptr;
    QLabel *LabelBase = nullptr;
    QLabel *LabelPlaced = nullptr;
    QLabel *LabelNote = nullptr;

  private:
    QTimer *noteTimer_ = nullptr;
};

}  // namespace pondera
