#pragma once

namespace vek {

class ScriptDriver;
class TfrmQuilbar;

/// `vek-station --journal [--since YYYY-MM-DD] [--state STATE] [--csv] [--settings FILE]`: prints
/// the station's scan journal as a table (or CSV) and returns the exit code, with no display; -1
/// when the arguments hold no --journal.
int answerJournalOption(int argc, char** argv);

/// Script mode: the state line's "journal" and the script line <settle>.
void connectJournalToScript(ScriptDriver& driver, TfrmQuilbar& window);

} // namespace vek
