#include "guard.h"

#include <QMessageBox>
#include <QString>

QString SentenceCase(const QString& message) {
  QString text = message;
  if (!text.isEmpty() && text.front().isLower()) text.front() = text.front().toUpper();
  return text;
}

void ShowError(QWidget* parent, const std::exception& error) {
  QMessageBox::critical(parent, QStringLiteral("Veltrane"),
                        SentenceCase(QString::fromUtf8(error.what())));
}
