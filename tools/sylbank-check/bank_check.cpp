#include "bank_check.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <system_error>

namespace sylbank {
namespace {

namespace fs = std::filesystem;

std::string Lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

bool EndsWithWav(const std::string& lower_name) {
  return lower_name.size() >= 4 && lower_name.compare(lower_name.size() - 4, 4, ".wav") == 0;
}

// Finds the clip `wanted` (always lowercase) among the folder's names: the
// exact name first, then one that differs only in letter case, which is what
// the Windows file search would find.
ClipResult FindClip(const std::string& folder, const std::string& syllable,
                    const std::set<std::string>& names,
                    const std::map<std::string, std::string>& by_lower) {
  ClipResult clip;
  clip.syllable = syllable;
  const std::string wanted = syllable + ".wav";
  if (names.count(wanted) != 0) {
    clip.file = wanted;
  } else {
    auto it = by_lower.find(wanted);
    if (it == by_lower.end()) return clip;
    clip.file = it->second;
    clip.case_differs = true;
  }
  clip.present = true;
  clip.info = CheckWavFile((fs::u8path(folder) / fs::u8path(clip.file)).u8string());
  if (clip.case_differs) {
    clip.info.notes.push_back("named " + clip.file + ", not " + wanted +
                              ": Windows finds it, a case-sensitive system would not");
  }
  return clip;
}

std::string ChannelWord(uint16_t channels) {
  if (channels == 1) return "mono";
  if (channels == 2) return "stereo";
  return std::to_string(channels) + " channels";
}

std::string ShownName(const ClipResult& clip) {
  return clip.present ? clip.file : clip.syllable + ".wav";
}

std::string JsonString(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c >= 0x7F) {
          // File names from disk may carry any byte; keep the JSON valid.
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

// Present but not playable.
bool Invalid(const ClipResult& c) { return c.present && !c.info.ok(); }

// The names both reports list: the syllables without a clip, the invalid
// clips (the no-syllable clip last) and the clips with too much silence.
std::vector<std::string> MissingSyllables(const BankReport& report) {
  std::vector<std::string> names;
  for (const ClipResult& c : report.syllable_clips) {
    if (!c.present) names.push_back(c.syllable);
  }
  return names;
}

std::vector<std::string> InvalidFiles(const BankReport& report) {
  std::vector<std::string> names;
  for (const ClipResult& c : report.syllable_clips) {
    if (Invalid(c)) names.push_back(c.file);
  }
  if (Invalid(report.no_syllable_clip)) names.push_back(report.no_syllable_clip.file);
  return names;
}

std::vector<std::string> SilenceFlaggedFiles(const BankReport& report) {
  std::vector<std::string> names;
  for (const ClipResult& c : report.syllable_clips) {
    if (c.silence_flagged()) names.push_back(c.file);
  }
  return names;
}

// Each name after a space, for the text report's summary lines.
void WriteNames(const std::vector<std::string>& names, std::ostream& out) {
  for (const std::string& n : names) out << " " << n;
}

// A JSON array of strings.
void WriteJsonArray(const std::vector<std::string>& names, std::ostream& out) {
  out << "[";
  for (size_t i = 0; i < names.size(); ++i) out << (i ? ", " : "") << JsonString(names[i]);
  out << "]";
}

struct DurationStats {
  int count = 0;
  uint32_t min = 0, median = 0, max = 0;
  std::string min_name, max_name;
};

// Over the playable syllable clips only; the no-syllable clip is a pause.
DurationStats Durations(const BankReport& report) {
  std::vector<std::pair<uint32_t, std::string>> d;
  for (const ClipResult& c : report.syllable_clips) {
    if (c.present && c.info.ok()) d.emplace_back(c.info.duration_ms, c.syllable);
  }
  DurationStats s;
  if (d.empty()) return s;
  std::sort(d.begin(), d.end());
  s.count = static_cast<int>(d.size());
  s.min = d.front().first;
  s.min_name = d.front().second;
  s.max = d.back().first;
  s.max_name = d.back().second;
  s.median = d[d.size() / 2].first;
  return s;
}

void WriteClipJson(const ClipResult& c, std::ostream& out) {
  out << "{\"syllable\": " << JsonString(c.syllable)
      << ", \"file\": " << JsonString(ShownName(c))
      << ", \"present\": " << (c.present ? "true" : "false");
  if (c.present) {
    const WavInfo& i = c.info;
    out << ", \"status\": " << JsonString(WavProblemKey(i.problem))
        << ", \"message\": " << JsonString(i.message);
    if (i.ok()) {
      out << ", \"duration_ms\": " << i.duration_ms << ", \"channels\": " << i.channels
          << ", \"sample_rate\": " << i.sample_rate << ", \"bits\": " << i.bits
          << ", \"leading_silence_ms\": " << i.leading_silence_ms
          << ", \"trailing_silence_ms\": " << i.trailing_silence_ms
          << ", \"silence_flagged\": " << (c.silence_flagged() ? "true" : "false");
    }
    out << ", \"notes\": ";
    WriteJsonArray(i.notes, out);
  }
  out << "}";
}

}  // namespace

bool ClipResult::silence_flagged() const {
  // The no-syllable clip is meant to be a short pause: silence is its job.
  if (!present || !info.ok() || syllable.empty()) return false;
  return info.leading_silence_ms > kSilenceFlagMs || info.trailing_silence_ms > kSilenceFlagMs;
}

int BankReport::missing_count() const {
  int n = 0;
  for (const ClipResult& c : syllable_clips) n += c.present ? 0 : 1;
  return n;
}

int BankReport::invalid_count() const {
  int n = 0;
  for (const ClipResult& c : syllable_clips) n += Invalid(c) ? 1 : 0;
  if (Invalid(no_syllable_clip)) ++n;
  return n;
}

std::optional<BankReport> CheckBank(const std::string& folder,
                                    const std::vector<std::string>& syllables,
                                    std::string& error) {
  const fs::path dir = fs::u8path(folder);
  std::error_code ec;
  const fs::file_status status = fs::status(dir, ec);
  if (ec || !fs::exists(status)) {
    error = "cannot open clip folder \"" + folder + "\": " +
            (ec ? ec.message() : std::string("no such folder"));
    return std::nullopt;
  }
  if (!fs::is_directory(status)) {
    error = "\"" + folder + "\" is not a folder";
    return std::nullopt;
  }

  std::set<std::string> names;
  std::map<std::string, std::string> by_lower;
  fs::directory_iterator it(dir, ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    const std::string name = it->path().filename().u8string();
    names.insert(name);
    by_lower.emplace(Lower(name), name);
  }
  if (ec) {
    error = "cannot list clip folder \"" + folder + "\": " + ec.message();
    return std::nullopt;
  }

  BankReport report;
  report.folder = folder;
  std::set<std::string> used;
  for (const std::string& s : syllables) {
    report.syllable_clips.push_back(FindClip(folder, s, names, by_lower));
    if (report.syllable_clips.back().present) used.insert(report.syllable_clips.back().file);
  }
  report.no_syllable_clip = FindClip(folder, "", names, by_lower);
  if (report.no_syllable_clip.present) used.insert(report.no_syllable_clip.file);
  for (const std::string& name : names) {
    if (EndsWithWav(Lower(name)) && used.count(name) == 0) report.unused.push_back(name);
  }
  return report;
}

void WriteTextReport(const BankReport& report, std::ostream& out) {
  out << "Clip folder: " << report.folder << "\n";
  auto line = [&](const ClipResult& c) {
    const std::string name = ShownName(c);
    std::string pad(name.size() < 12 ? 12 - name.size() : 1, ' ');
    if (!c.present) {
      out << "missing  " << name << "\n";
    } else if (Invalid(c)) {
      out << "INVALID  " << name << pad << c.info.message << "\n";
    } else {
      const WavInfo& i = c.info;
      out << "ok       " << name << pad << i.duration_ms << " ms, " << i.sample_rate << " Hz "
          << i.bits << "-bit " << ChannelWord(i.channels);
      if (c.silence_flagged()) {
        out << ", silence " << i.leading_silence_ms << " ms at start, " << i.trailing_silence_ms
            << " ms at end";
      }
      out << "\n";
    }
    if (c.present) {
      for (const std::string& n : c.info.notes) out << "         note: " << n << "\n";
    }
  };
  for (const ClipResult& c : report.syllable_clips) line(c);
  line(report.no_syllable_clip);

  out << "\n";
  const int total = static_cast<int>(report.syllable_clips.size());
  const int missing = report.missing_count();
  out << "Syllable clips: " << (total - missing) << " of " << total << " present";
  if (missing > 0) {
    out << ", " << missing << " missing:";
    WriteNames(MissingSyllables(report), out);
  }
  out << "\n";

  out << "Invalid clips: " << report.invalid_count();
  WriteNames(InvalidFiles(report), out);
  out << "\n";

  const ClipResult& pause = report.no_syllable_clip;
  out << "No-syllable clip .wav: ";
  if (!pause.present) {
    out << "missing (units without a syllable pass in silence)\n";
  } else if (!pause.info.ok()) {
    out << "invalid\n";
  } else {
    out << "present, " << pause.info.duration_ms << " ms\n";
  }

  const std::vector<std::string> quiet = SilenceFlaggedFiles(report);
  out << "Silence over " << kSilenceFlagMs << " ms below " << kSilenceThresholdDbfs
      << " dBFS at start or end: " << quiet.size() << " clips";
  WriteNames(quiet, out);
  out << (quiet.empty() ? "\n" : " (trim them so the speech flows)\n");

  const DurationStats d = Durations(report);
  if (d.count > 0) {
    out << "Durations: min " << d.min << " ms (" << d.min_name << "), median " << d.median
        << " ms, max " << d.max << " ms (" << d.max_name << ")\n";
  }
  if (!report.unused.empty()) {
    out << "Not asked for by the program:";
    WriteNames(report.unused, out);
    out << "\n";
  }
  out << "Result: "
      << (report.passes() ? "complete and valid" : "clips missing or invalid") << "\n";
}

void WriteJsonReport(const BankReport& report, std::ostream& out) {
  const DurationStats d = Durations(report);
  const int total = static_cast<int>(report.syllable_clips.size());
  out << "{\n  \"folder\": " << JsonString(report.folder) << ",\n";
  out << "  \"syllables_expected\": " << total << ",\n";
  out << "  \"syllables_present\": " << (total - report.missing_count()) << ",\n";
  out << "  \"missing\": ";
  WriteJsonArray(MissingSyllables(report), out);
  out << ",\n  \"invalid\": ";
  WriteJsonArray(InvalidFiles(report), out);
  out << ",\n  \"no_syllable_clip\": ";
  WriteClipJson(report.no_syllable_clip, out);
  out << ",\n  \"silence_threshold_dbfs\": " << kSilenceThresholdDbfs
      << ",\n  \"silence_flag_ms\": " << kSilenceFlagMs << ",\n  \"silence_flagged\": ";
  WriteJsonArray(SilenceFlaggedFiles(report), out);
  out << ",\n  \"durations_ms\": ";
  if (d.count > 0) {
    out << "{\"min\": " << d.min << ", \"median\": " << d.median << ", \"max\": " << d.max
        << "}";
  } else {
    out << "null";
  }
  out << ",\n  \"unused\": ";
  WriteJsonArray(report.unused, out);
  out << ",\n  \"clips\": [\n";
  for (size_t i = 0; i < report.syllable_clips.size(); ++i) {
    out << "    ";
    WriteClipJson(report.syllable_clips[i], out);
    out << (i + 1 < report.syllable_clips.size() ? ",\n" : "\n");
  }
  out << "  ],\n  \"complete\": " << (report.missing_count() == 0 ? "true" : "false")
      << ",\n  \"valid\": " << (report.invalid_count() == 0 ? "true" : "false")
      << ",\n  \"passes\": " << (report.passes() ? "true" : "false") << "\n}\n";
}

}  // namespace sylbank
