#include "app/ui/knotFinder.h"

#include <QCompleter>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QAbstractItemView>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStringListModel>
#include <QVBoxLayout>
#include <algorithm>

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

TKnotListDialog::TKnotListDialog(const std::vector<TKnotListing>& all, QWidget* parent)
    : QDialog(parent), knots(all) {
  setWindowTitle(QStringLiteral("Knots"));
  setObjectName(QStringLiteral("knotList"));
  auto* layout = new QVBoxLayout(this);
  auto* filters = new QHBoxLayout;
  crossings = new QComboBox;
  crossings->setObjectName(QStringLiteral("cb_listcrossings"));
  crossings->addItem(QStringLiteral("any crossings"), 0);
  for (int c = 3; c <= 12; ++c) crossings->addItem(QStringLiteral("%1 crossings").arg(c), c);
  genus = new QComboBox;
  genus->setObjectName(QStringLiteral("cb_listgenus"));
  genus->addItem(QStringLiteral("any genus"), -1);
  int32_t highest = 0;
  for (const TKnotListing& k : knots) highest = std::max(highest, k.genusHigh);
  for (int g = 1; g <= highest; ++g) genus->addItem(QStringLiteral("genus %1").arg(g), g);
  alternating = new QComboBox;
  alternating->setObjectName(QStringLiteral("cb_listalternating"));
  alternating->addItems({QStringLiteral("alternating or not"), QStringLiteral("alternating"),
                         QStringLiteral("non-alternating")});
  for (QComboBox* box : {crossings, genus, alternating}) {
    filters->addWidget(box);
    connect(box, &QComboBox::currentIndexChanged, this, [this] { Filter(); });
  }
  layout->addLayout(filters);
  list = new QListWidget;
  list->setObjectName(QStringLiteral("lw_knots"));
  list->setUniformItemSizes(true);  // 2,977 rows stay quick to lay out
  for (const TKnotListing& k : knots) {
    auto* item = new QListWidgetItem(Q(KnotListingText(k)), list);
    item->setData(Qt::UserRole, Q(k.name));
  }
  layout->addWidget(list, 1);
  auto* count = new QLabel;
  count->setObjectName(QStringLiteral("lb_knotcount"));
  layout->addWidget(count);
  auto* show = new QPushButton(QStringLiteral("Show"));
  layout->addWidget(show);
  const auto choose = [this] {
    if (QListWidgetItem* item = list->currentItem(); item && onChosen)
      onChosen(item->data(Qt::UserRole).toString().toStdString());
  };
  connect(list, &QListWidget::itemActivated, this, choose);
  connect(show, &QPushButton::clicked, this, choose);
  resize(420, 480);
  Filter();
}

void TKnotListDialog::Filter() {
  const int c = crossings->currentData().toInt(), g = genus->currentData().toInt();
  const int a = alternating->currentIndex();
  int shown = 0;
  for (int i = 0; i < list->count(); ++i) {
    const TKnotListing& k = knots[static_cast<size_t>(i)];
    // A knot whose genus is only bounded is listed under every genus it may have.
    const bool pass = (c == 0 || k.crossings == c) && (g < 0 || (k.genusLow <= g && g <= k.genusHigh)) &&
                      (a == 0 || k.alternating == (a == 1));
    list->item(i)->setHidden(!pass);
    shown += pass;
  }
  findChild<QLabel*>(QStringLiteral("lb_knotcount"))->setText(QStringLiteral("%1 knots").arg(shown));
}

TKnotFinder::TKnotFinder(const TKnotTable& table, QWidget* parent)
    : QWidget(parent), knots(AllKnots(table)) {
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  auto* caption = new QLabel(QStringLiteral("Find knot"));
  field = new QLineEdit;
  field->setObjectName(QStringLiteral("ed_findknot"));
  field->setPlaceholderText(QStringLiteral("11n_34, 12a_1, 5_2 ..."));
  field->setToolTip(QStringLiteral(
      "Any knot of up to 12 crossings by name (3_1 .. 10_165, 11a_1 .. 12n_888), Enter to show it"));
  caption->setBuddy(field);
  QStringList names;
  for (const TKnotListing& k : knots) names.append(Q(k.name));
  auto* completer = new QCompleter(names, field);
  completer->setCaseSensitivity(Qt::CaseInsensitive);
  completer->setMaxVisibleItems(12);
  field->setCompleter(completer);
  connect(completer, qOverload<const QString&>(&QCompleter::activated), this,
          [this](const QString& name) { Choose(name); });
  connect(field, &QLineEdit::returnPressed, this, [this] {
    field->completer()->popup()->hide();
    Choose(field->text().trimmed());
  });
  auto* listButton = new QPushButton(QStringLiteral("List..."));
  listButton->setObjectName(QStringLiteral("but_knotlist"));
  listButton->setToolTip(QStringLiteral("Every knot of up to 12 crossings, by crossings, genus and alternating"));
  dialog = new TKnotListDialog(knots, this);
  dialog->onChosen = [this](const std::string& name) {
    field->setText(Q(name));
    Choose(Q(name));
  };
  connect(listButton, &QPushButton::clicked, this, [this] {
    dialog->show();
    dialog->raise();
  });
  row->addWidget(caption);
  row->addWidget(field, 1);
  row->addWidget(listButton);
}

void TKnotFinder::Mark(const QString& error) {
  field->setStyleSheet(error.isEmpty() ? QString() : QStringLiteral("QLineEdit { border: 2px solid #d00000; }"));
}

void TKnotFinder::Choose(const QString& name) {
  // Enter on a completion both takes it and confirms the field: one key, one knot.
  if (name.isEmpty() || !onChosen || name == choosing) return;
  choosing = name;
  QMetaObject::invokeMethod(this, [this] { choosing.clear(); }, Qt::QueuedConnection);
  onChosen(name.toStdString());
}
