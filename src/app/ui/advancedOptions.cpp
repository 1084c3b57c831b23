#include "advancedOptions.h"

#include <QVBoxLayout>

#include "controlLayout.h"
#include "qtControlPanel.h"

Tforma::Tforma(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
  setObjectName(QStringLiteral("forma"));
  setWindowTitle(QStringLiteral("Advanced options"));
  QFont f = font();
  f.setPointSize(8);
  setFont(f);
  resize(240, 576);
  move(555, 24);
}

void Tforma::Build(TQtControlPanel& controls) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(BuildPage(controls, TControlPage::kAdvanced, this));
}
