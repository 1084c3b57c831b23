#pragma once
// The headless control store: every control of the table as a plain value, behaving as the
// toolkit's controls do (see controlPanel.h). Serves the command-line program and the tests.

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

#include "controlPanel.h"

class TControlStore : public TControlPanel {
 public:
  // Every control at its start value of the window definition. No events are raised.
  TControlStore();

  int32_t Position(std::string_view name) const override;
  void SetPosition(std::string_view name, int32_t value) override;
  bool Checked(std::string_view name) const override;
  void SetChecked(std::string_view name, bool checked) override;
  std::string Text(std::string_view name) const override;
  void SetText(std::string_view name, const std::string& text) override;
  uint32_t Color(std::string_view name) const override;
  void SetColor(std::string_view name, uint32_t color) override;
  int32_t ItemIndex(std::string_view name) const override;
  void SetItemIndex(std::string_view name, int32_t index) override;
  int32_t ItemCount(std::string_view name) const override;
  void SetItems(std::string_view name, std::vector<std::string> items) override;
  void Click(std::string_view name) override;

 private:
  struct TValue {
    int32_t number = 0;  // position, checked 0/1, colour or item index
    std::string text;    // edit text; an up-down's mirrors its position
    std::vector<std::string> items;  // drop-down entries
  };

  size_t IndexOf(std::string_view name) const;
  const TControlDef& Def(size_t i) const { return table[i]; }
  size_t Require(std::string_view name, std::initializer_list<TControlKind> kinds) const;

  std::span<const TControlDef> table;
  std::vector<TValue> values;
  std::unordered_map<std::string_view, size_t> index;
};

// The nearest signed 16-bit value: what an up-down position can hold.
int32_t SaturateInt16(int64_t value);
