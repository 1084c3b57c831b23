#pragma once
// veltrane-cli as a function, so that tests run it in-process.
//
// The run means what the same clicks mean in the window: (1) the start state; (2) --layout
// checks that radio button and --preset clicks that button; (3) a BRAID is typed into
// ed_braid and confirmed with Enter; (4) every --set in order; (5) one final Recompute;
// (6) the output.

#include <functional>
#include <ostream>
#include <string>
#include <vector>

// args excludes the program name. Returns the exit status: 0 done, 2 for a usage error or an
// error of the model (its message goes to `err`). errIsTerminal: `err` is a terminal, where
// long builds, renders and smoothing runs show their progress (unless --quiet). Work expected
// to take more than a minute is announced on `err` either way.
// `stop` (for tests) is asked a few times a second during a long build or a render; once it
// says true the work stops, nothing is written and the status is 2.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           bool errIsTerminal = false, const std::function<bool()>& stop = nullptr);

// Called by a program whose process ends after its one run: the run's model is then left to
// the end of the process, which hands its pages back at once, instead of being taken apart.
void LeaveModelToProcessEnd();

// The caption --preset accepts for a lay-out or preset-knot button: its caption, with
// " (stacked)" or " (flat)" added where two buttons share a caption. Returns the component
// name, or "" when no button matches.
std::string FindPresetButton(const std::string& caption);
