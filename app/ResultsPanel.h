#pragma once

#include <QWidget>

#include "report/RecordData.h"

class QLabel;

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

    // The labels, named "LabelResultCOG", "LabelResultStature", "LabelResultBase" and
    // "LabelResultPlaced".
    QLabel *LabelCOG = nullptr;
    QLabel *LabelStature = nullptr;
    QLabel *LabelBase = nullptr;
    QLabel *LabelPlaced = nullptr;
};

}  // namespace pondera
