// The parts of the installation check both platforms share: one line a check with its verdict,
// and the fix where it fails; the settings in force, the capture file and the counts so far.
#pragma once

#include <cstdio>
#include <string>

namespace tw::formula {

class CheckReport {
  public:
    explicit CheckReport(FILE* out) : m_out(out) {}
    void Ok(const std::string& what) { Line("ok", what, {}); }
    void Note(const std::string& what) { Line("note", what, {}); }
    void Fail(const std::string& what, const std::string& fix) {
        m_failed = true;
        Line("FAIL", what, fix);
    }
    bool Failed() const { return m_failed; }

  private:
    void Line(const char* verdict, const std::string& what, const std::string& fix) {
        std::fprintf(m_out, "%-5s %s%s%s\n", verdict, what.c_str(),
                     fix.empty() ? "" : "; fix: ", fix.c_str());
    }
    FILE* m_out;
    bool m_failed = false;
};

// The settings (read afresh), whether the capture file can be written, and the counts of
// captures skipped and calls timed out that formula calls left in the user's count file.
void CheckSettingsAndCounts(CheckReport& report);

}  // namespace tw::formula
