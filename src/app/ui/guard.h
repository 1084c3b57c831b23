#pragma once
// Every event handler of the windows runs its body through Guarded: an error of the model (a
// range error, a conversion error) is shown in a message box and the program goes on with the
// state it had reached. Nothing may escape into Qt's event loop.

#include <exception>
#include <stdexcept>
#include <utility>

class QString;
class QWidget;

// The message with its first letter in upper case, as a sentence starts.
QString SentenceCase(const QString& message);

// Shows the error's text in a critical message box over `parent`.
void ShowError(QWidget* parent, const std::exception& error);

// Runs body(); returns false when it threw (after the message box was shown).
template <typename Body>
bool Guarded(QWidget* parent, Body&& body) {
  try {
    std::forward<Body>(body)();
    return true;
  } catch (const std::exception& e) {
    ShowError(parent, e);
  } catch (...) {
    ShowError(parent, std::runtime_error("unexpected error"));
  }
  return false;
}
