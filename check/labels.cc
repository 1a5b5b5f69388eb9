// The medium check's labels and Goto lines: each Goto is held until the
// whole script has been read, then looked for below its line, as the run's
// forward search would.
#include <string>
#include <unordered_map>
#include <vector>

#include "check/check_texts.h"
#include "check/checker.h"

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

namespace {

std::string Folded(const std::string& name) {
  std::string folded = name;
  for (char& c : folded) c = static_cast<char>(ToUpperAscii(static_cast<unsigned char>(c)));
  return folded;
}

}  // namespace

void Checker::CheckGotos() {
  char quoted[kQuoteSize];
  // The labels by their names folded, each list in the order of labels_,
  // made for the first Goto not found: it looks at those that differ from
  // it in case alone.
  std::unordered_map<std::string, std::vector<size_t>> by_folded_name;
  bool folded = false;
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
    if (!folded) {
      for (size_t i = 0; i < labels_.size(); ++i) {
        by_folded_name[Folded(labels_[i].name)].push_back(i);
      }
      folded = true;
    }
    const char* near = nullptr;
    auto same = by_folded_name.find(Folded(go.label));
    if (same != by_folded_name.end()) {
      for (size_t i : same->second) {
        if (labels_[i].last_line > go.line) {
          near = labels_[i].name.c_str();
          break;
        }
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
