#pragma once
// Finding a knot by name among the 2,977 the program knows: a search field that completes names
// ("11n_34", "11n", "12a_1"), and a list of all knots filtered by crossings, genus and whether
// they are alternating. Either says which knot the user chose; the main window shows it.

#include <QDialog>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "app/model/knotListing.h"

class QComboBox;
class QLineEdit;
class QListWidget;

// The list, a window of its own that stays open while the user looks at knot after knot.
class TKnotListDialog : public QDialog {
  Q_OBJECT
 public:
  TKnotListDialog(const std::vector<TKnotListing>& knots, QWidget* parent = nullptr);
  std::function<void(const std::string&)> onChosen;
  QListWidget* List() const { return list; }
  // Shows only the knots the three filters let through.
  void Filter();

 private:
  const std::vector<TKnotListing>& knots;
  QComboBox* crossings = nullptr;
  QComboBox* genus = nullptr;
  QComboBox* alternating = nullptr;
  QListWidget* list = nullptr;
};

class TKnotFinder : public QWidget {
  Q_OBJECT
 public:
  explicit TKnotFinder(const TKnotTable& table, QWidget* parent = nullptr);
  // Called with a knot's name when one is chosen (Enter on a known name, a completion, the list).
  std::function<void(const std::string&)> onChosen;
  QLineEdit* Field() const { return field; }
  TKnotListDialog* ListDialog() const { return dialog; }
  // The field marked for a name that is no knot (empty: plain again).
  void Mark(const QString& error);

 private:
  void Choose(const QString& name);
  std::vector<TKnotListing> knots;
  QLineEdit* field = nullptr;
  TKnotListDialog* dialog = nullptr;
  QString choosing;  // the name being chosen in this pass of the event loop
};
