#include "guard.h"

#include <QMessageBox>
#include <QString>

void ShowError(QWidget* parent, const std::exception& error) {
  QMessageBox::critical(parent, QStringLiteral("Veltrane"), QString::fromUtf8(error.what()));
}
