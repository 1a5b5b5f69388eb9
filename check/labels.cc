// The medium check's labels and Goto lines: each Goto is held until the
// whole script has been read, then looked for below its line, as the run's
// forward search would.
#include "check/check_texts.h"
#include "check/checker.h"
#include "check/suggestions.h"

namespace setup {

void Checker::AddLabel(const char* name) {
  auto [found, added] = label_index_.try_emplace(name, labels_.size());
  if (!added) {
    // A name used again further down is no mistake: each Goto finds the
    // first one below it.
    labels_[found->second].last_line = line_;
    return;
  }
  labels_.push_back({name, line_, line_});
}

void Checker::AddGoto(const char* name) { gotos_.push_back({line_, name}); }

void Checker::CheckGotos() {
  char quoted[kQuoteSize];
  for (const Goto& go : gotos_) {
    line_ = go.line;
    const char* name = go.label.c_str();
    auto found = label_index_.find(go.label);
    if (found != label_index_.end() && labels_[found->second].last_line > go.line) continue;
    Quote(name, quoted);
    if (found != label_index_.end()) {
      Say(nullptr, go.line, Severity::kError, kTxtLabelOnlyAbove, quoted,
          labels_[found->second].first_line);
      continue;
    }
    // Labels are compared case-sensitively: one that differs only in case
    // is most likely the one meant; the first such below the Goto.
    const char* near = nullptr;
    for (const Label& label : labels_) {
      if (label.last_line > go.line && EqualNoCase(label.name.c_str(), name)) {
        near = label.name.c_str();
        break;
      }
    }
    if (near != nullptr) {
      char suggestion[kQuoteSize];
      Quote(near, suggestion);
      Say(nullptr, go.line, Severity::kError, kTxtLabelCase, quoted, suggestion);
    } else {
      Say(nullptr, go.line, Severity::kError, kTxtLabelNotFound, quoted);
    }
  }
}

}  // namespace setup
