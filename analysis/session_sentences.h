#pragma once
// The first words of a session's result: two or three plain sentences, computed from the
// answers of its lines, that say what the table below shows. They describe this person's own
// lines; they name no norm and make no diagnosis.

#include <string>
#include <vector>

#include "practice_session.h"

namespace keta::analysis {

// `lines` are the completed lines in order, `settings` the format the session ran in;
// `stopped` when it was ended before its last line. UTF-8.
std::vector<std::string> SessionSentences(const std::vector<LineResult>& lines,
                                          const SessionSettings& settings, bool stopped);

}  // namespace keta::analysis
