#include "bank_check.h"

#include <algorithm>
#include <map>
#include <set>

#include "folder_list.h"

namespace sylbank {
namespace {

std::string Lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

bool EndsWithWav(const std::string& lower_name) {
  return lower_name.size() >= 4 && lower_name.compare(lower_name.size() - 4, 4, ".wav") == 0;
}

std::string Num(uint64_t n) { return std::to_string(n); }

// The silence threshold as the reports write it: a whole number of dB.
std::string ThresholdText() { return std::to_string(static_cast<int>(kSilenceThresholdDbfs)); }

std::string ClipName(const std::string& syllable, int tone) {
  return syllable + (tone > 0 ? std::string(1, static_cast<char>('0' + tone)) : "") + ".wav";
}

// The folder's entries, looked up the way the Windows file search finds
// them: the exact name first, then one that differs only in letter case.
class FolderNames {
 public:
  FolderNames(std::string folder, std::vector<FolderEntry> entries)
      : folder_(std::move(folder)), entries_(std::move(entries)) {
    std::sort(entries_.begin(), entries_.end(),
              [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    for (size_t i = 0; i < entries_.size(); ++i) {
      exact_.emplace(entries_[i].name, i);
      by_lower_.emplace(Lower(entries_[i].name), i);
    }
  }

  // The clip `syllable` + `tone` + ".wav", checked when present.
  ClipResult Find(const std::string& syllable, int tone) {
    ClipResult clip;
    clip.syllable = syllable;
    clip.tone = tone;
    const std::string wanted = clip.wanted_name();
    auto it = exact_.find(wanted);
    if (it == exact_.end()) {
      it = by_lower_.find(wanted);
      if (it == by_lower_.end()) return clip;
      clip.case_differs = true;
    }
    const FolderEntry& entry = entries_[it->second];
    used_.insert(entry.name);
    clip.file = entry.name;
    clip.present = true;
    clip.info = entry.is_folder ? FolderInfo() : CheckWavFile(folder_ + "/" + entry.name);
    if (clip.case_differs) {
      clip.info.notes.push_back("named " + clip.file + ", not " + wanted +
                                ": Windows finds it, a case-sensitive system would not");
    }
    return clip;
  }

  // The .wav files no lookup has found, by name.
  std::vector<std::string> Unused() const {
    std::vector<std::string> names;
    for (const FolderEntry& e : entries_) {
      if (EndsWithWav(Lower(e.name)) && used_.count(e.name) == 0) names.push_back(e.name);
    }
    return names;
  }

 private:
  std::string folder_;
  std::vector<FolderEntry> entries_;
  std::map<std::string, size_t> exact_;
  std::map<std::string, size_t> by_lower_;  // the first of each lowercase name
  std::set<std::string> used_;
};

// A name the program would ask for once u-umlaut is written u, as its tables
// write it: lv3.wav or lü3.wav for lu3.wav, nve.wav for nue.wav. Empty when
// the name is not such a near miss.
std::string UmlautHint(const std::string& file, const std::set<std::string>& asked_names) {
  std::string name = Lower(file);
  if (!EndsWithWav(name)) return std::string();
  name.resize(name.size() - 4);  // the v of ".wav" stays
  std::string fixed;
  bool changed = false;
  for (size_t i = 0; i < name.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(name[i]);
    const unsigned char next = i + 1 < name.size() ? static_cast<unsigned char>(name[i + 1]) : 0;
    if (c == 'v') {
      fixed += 'u';
      changed = true;
    } else if ((c == 0xC3 && next == 0xBC) || (c == 0xA8 && next == 0xB9)) {
      // u-umlaut in UTF-8 (C3 BC) or in code page 936 (A8 B9).
      fixed += 'u';
      changed = true;
      ++i;
    } else {
      fixed += static_cast<char>(c);
    }
  }
  fixed += ".wav";
  return changed && asked_names.count(fixed) != 0 ? fixed : std::string();
}

// The tones of a mask as numbers, lowest first.
std::vector<std::string> ToneNumbers(ToneMask mask) {
  std::vector<std::string> tones;
  for (int t = kFirstTone; t <= kLastTone; ++t) {
    if (mask & ToneBit(t)) tones.push_back(Num(static_cast<uint64_t>(t)));
  }
  return tones;
}

std::string ToneList(ToneMask mask) {
  std::string s;
  for (const std::string& t : ToneNumbers(mask)) s += (s.empty() ? "" : " ") + t;
  return s.empty() ? "none" : s;
}

int CountTones(ToneMask mask) {
  int n = 0;
  for (int t = kFirstTone; t <= kLastTone; ++t) n += (mask & ToneBit(t)) ? 1 : 0;
  return n;
}

std::string ChannelWord(uint16_t channels) {
  if (channels == 1) return "mono";
  if (channels == 2) return "stereo";
  return Num(channels) + " channels";
}

std::string ShownName(const ClipResult& clip) {
  return clip.present ? clip.file : clip.wanted_name();
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
          static const char kHex[] = "0123456789abcdef";
          out += "\\u00";
          out += kHex[c >> 4];
          out += kHex[c & 15];
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string JsonArray(const std::vector<std::string>& items, bool quote = true) {
  std::string out = "[";
  for (size_t i = 0; i < items.size(); ++i) {
    out += (i ? ", " : "") + (quote ? JsonString(items[i]) : items[i]);
  }
  return out + "]";
}

std::string JsonTones(ToneMask mask) { return JsonArray(ToneNumbers(mask), false); }

// Each clip of the report, the no-syllable clip last.
template <typename Visit>
void ForEachClip(const BankReport& report, Visit visit) {
  for (const SyllableResult& s : report.syllables) {
    visit(s.toneless);
    for (const ClipResult& c : s.toned) visit(c);
  }
  visit(report.no_syllable_clip);
}

// The lists both reports give.
std::vector<std::string> MissingSyllables(const BankReport& report) {
  std::vector<std::string> names;
  for (const SyllableResult& s : report.syllables) {
    if (!s.covered()) names.push_back(s.asked.name);
  }
  return names;
}

// The syllables whose toneless clip is present.
int TonelessPresent(const BankReport& report) {
  int n = 0;
  for (const SyllableResult& s : report.syllables) n += s.toneless.present ? 1 : 0;
  return n;
}

std::vector<std::string> CoveredByTonedOnly(const BankReport& report) {
  std::vector<std::string> names;
  for (const SyllableResult& s : report.syllables) {
    if (!s.toneless.present && s.covered()) names.push_back(s.asked.name);
  }
  return names;
}

std::vector<std::string> FilesWhere(const BankReport& report,
                                    bool (*keep)(const ClipResult&)) {
  std::vector<std::string> names;
  ForEachClip(report, [&](const ClipResult& c) {
    if (keep(c)) names.push_back(c.file);
  });
  return names;
}

std::vector<std::string> InvalidFiles(const BankReport& report) {
  return FilesWhere(report, [](const ClipResult& c) { return c.invalid(); });
}

std::vector<std::string> SilenceFlaggedFiles(const BankReport& report) {
  return FilesWhere(report, [](const ClipResult& c) { return c.silence_flagged(); });
}

std::vector<std::string> LongFiles(const BankReport& report) {
  return FilesWhere(report, [](const ClipResult& c) { return c.too_long(); });
}

// Toned clips of a tone that no character of the syllable is spoken in.
std::vector<std::string> TonedNotAskedFor(const BankReport& report) {
  std::vector<std::string> names;
  for (const SyllableResult& s : report.syllables) {
    for (const ClipResult& c : s.toned) {
      if ((s.asked.tones & ToneBit(c.tone)) == 0) names.push_back(c.file);
    }
  }
  return names;
}

// The pairs the program asks for that have no toned clip.
std::vector<std::string> TonedMissing(const BankReport& report) {
  std::vector<std::string> names;
  for (const SyllableResult& s : report.syllables) {
    for (const std::string& t : ToneNumbers(s.asked.tones & ~s.tones_present())) {
      names.push_back(s.asked.name + t);
    }
  }
  return names;
}

// Each name after a space, for the text report's summary lines.
std::string Names(const std::vector<std::string>& names) {
  std::string out;
  for (const std::string& n : names) out += " " + n;
  return out;
}

struct DurationStats {
  int count = 0;
  uint32_t min = 0, median = 0, max = 0;
  std::string min_name, max_name;
};

// Over the playable syllable clips, toneless and toned; the no-syllable clip
// is a pause.
DurationStats Durations(const BankReport& report) {
  std::vector<std::pair<uint32_t, std::string>> d;
  for (const SyllableResult& s : report.syllables) {
    if (s.toneless.present && s.toneless.info.ok()) {
      d.emplace_back(s.toneless.info.duration_ms, s.toneless.file);
    }
    for (const ClipResult& c : s.toned) {
      if (c.info.ok()) d.emplace_back(c.info.duration_ms, c.file);
    }
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

// The spaces after a file name in the text report: up to a column 12 wide, at
// least one.
std::string PadAfter(const std::string& name) {
  return std::string(name.size() < 12 ? 12 - name.size() : 1, ' ');
}

// One clip's line in the text report, and its notes.
std::string ClipLines(const ClipResult& c) {
  const std::string name = ShownName(c);
  const std::string pad = PadAfter(name);
  std::string out;
  if (!c.present) {
    out = "missing  " + name + "\n";
  } else if (c.invalid()) {
    out = "INVALID  " + name + pad + c.info.message + "\n";
  } else {
    const WavInfo& i = c.info;
    out = "ok       " + name + pad + Num(i.duration_ms) + " ms, " + Num(i.sample_rate) + " Hz " +
          Num(i.bits) + "-bit " + ChannelWord(i.channels);
    if (c.silence_flagged()) {
      out += ", silence " + Num(i.leading_silence_ms) + " ms at start, " +
             Num(i.trailing_silence_ms) + " ms at end";
    }
    if (c.too_long()) out += ", longer than " + Num(kLongClipMs / 1000) + " s";
    out += "\n";
  }
  if (c.present) {
    for (const std::string& n : c.info.notes) out += "         note: " + n + "\n";
  }
  return out;
}

// A toned clip gets a line of its own only when there is something to say.
bool WorthALine(const ClipResult& c) {
  return c.invalid() || c.silence_flagged() || c.too_long() || !c.info.notes.empty();
}

std::string SyllableLines(const SyllableResult& s) {
  std::string out;
  if (!s.toneless.present && s.covered()) {
    const std::string name = s.toneless.wanted_name();
    out = "absent   " + name + PadAfter(name) + "not needed: toned clips cover every tone\n";
  } else {
    out = ClipLines(s.toneless);
  }
  if (!s.toned.empty()) {
    out += "         tones present: " + ToneList(s.tones_present()) +
           "; asked for: " + ToneList(s.asked.tones) + "\n";
  }
  for (const ClipResult& c : s.toned) {
    if (WorthALine(c)) out += ClipLines(c);
  }
  return out;
}

std::string ClipJson(const ClipResult& c) {
  std::string out = "{\"syllable\": " + JsonString(c.syllable);
  if (c.tone > 0) out += ", \"tone\": " + Num(static_cast<uint64_t>(c.tone));
  out += ", \"file\": " + JsonString(ShownName(c)) +
         ", \"present\": " + (c.present ? "true" : "false");
  if (c.present) {
    const WavInfo& i = c.info;
    out += ", \"status\": " + JsonString(WavProblemKey(i.problem)) +
           ", \"message\": " + JsonString(i.message);
    if (i.ok()) {
      out += ", \"duration_ms\": " + Num(i.duration_ms) + ", \"channels\": " + Num(i.channels) +
             ", \"sample_rate\": " + Num(i.sample_rate) + ", \"bits\": " + Num(i.bits) +
             ", \"leading_silence_ms\": " + Num(i.leading_silence_ms) +
             ", \"trailing_silence_ms\": " + Num(i.trailing_silence_ms) +
             ", \"silence_flagged\": " + (c.silence_flagged() ? "true" : "false") +
             ", \"too_long\": " + (c.too_long() ? "true" : "false");
    }
    out += ", \"notes\": " + JsonArray(i.notes);
  }
  return out + "}";
}

std::string SyllableJson(const SyllableResult& s) {
  std::string out = ClipJson(s.toneless);
  out.pop_back();  // the closing brace: the syllable's own fields follow
  out += std::string(", \"covered\": ") + (s.covered() ? "true" : "false") +
         ", \"tones_asked\": " + JsonTones(s.asked.tones) +
         ", \"tones_present\": " + JsonTones(s.tones_present()) + ", \"toned\": [";
  for (size_t i = 0; i < s.toned.size(); ++i) out += (i ? ", " : "") + ClipJson(s.toned[i]);
  return out + "]}";
}

}  // namespace

std::string ClipResult::wanted_name() const { return ClipName(syllable, tone); }

bool ClipResult::silence_flagged() const {
  // The no-syllable clip is meant to be a short pause: silence is its job.
  if (!present || !info.ok() || syllable.empty()) return false;
  return info.leading_silence_ms > kSilenceFlagMs || info.trailing_silence_ms > kSilenceFlagMs;
}

bool ClipResult::too_long() const {
  return present && info.ok() && info.duration_ms > kLongClipMs;
}

ToneMask SyllableResult::tones_present() const {
  ToneMask mask = 0;
  for (const ClipResult& c : toned) mask |= ToneBit(c.tone);
  return mask;
}

bool SyllableResult::covered() const {
  if (toneless.present) return true;
  return !asked.untoned_reading && asked.tones != 0 && (asked.tones & ~tones_present()) == 0;
}

int BankReport::missing_count() const {
  int n = 0;
  for (const SyllableResult& s : syllables) n += s.covered() ? 0 : 1;
  return n;
}

int BankReport::invalid_count() const {
  int n = 0;
  ForEachClip(*this, [&](const ClipResult& c) { n += c.invalid() ? 1 : 0; });
  return n;
}

int BankReport::pairs_asked() const {
  int n = 0;
  for (const SyllableResult& s : syllables) n += CountTones(s.asked.tones);
  return n;
}

int BankReport::pairs_present() const {
  int n = 0;
  for (const SyllableResult& s : syllables) n += CountTones(s.asked.tones & s.tones_present());
  return n;
}

std::optional<BankReport> CheckBank(const std::string& folder,
                                    const std::vector<Syllable>& syllables, std::string& error) {
  std::vector<FolderEntry> entries;
  std::string why;
  switch (ListFolder(folder, entries, why)) {
    case ListResult::kOk: break;
    case ListResult::kNotFound:
      error = "cannot open clip folder \"" + folder + "\": no such folder";
      return std::nullopt;
    case ListResult::kNotAFolder:
      error = "\"" + folder + "\" is not a folder";
      return std::nullopt;
    case ListResult::kUnreadable:
      error = "cannot list clip folder \"" + folder + "\": " + why;
      return std::nullopt;
  }
  FolderNames names(folder, std::move(entries));

  BankReport report;
  report.folder = folder;
  std::set<std::string> asked_names;  // every name either form could take
  for (const Syllable& s : syllables) {
    SyllableResult result;
    result.asked = s;
    result.toneless = names.Find(s.name, 0);
    asked_names.insert(ClipName(s.name, 0));
    for (int t = kFirstTone; t <= kLastTone; ++t) {
      ClipResult clip = names.Find(s.name, t);
      asked_names.insert(clip.wanted_name());
      if (clip.present) result.toned.push_back(std::move(clip));
    }
    report.syllables.push_back(std::move(result));
  }
  report.no_syllable_clip = names.Find("", 0);
  report.unused = names.Unused();
  for (const std::string& file : report.unused) {
    const std::string suggested = UmlautHint(file, asked_names);
    if (!suggested.empty()) report.hints.push_back({file, suggested});
  }
  return report;
}

std::string TextReport(const BankReport& report) {
  std::string out = "Clip folder: " + report.folder + "\n";
  for (const SyllableResult& s : report.syllables) out += SyllableLines(s);
  out += ClipLines(report.no_syllable_clip);
  out += "\n";

  const int total = static_cast<int>(report.syllables.size());
  out += "Syllable clips: " + Num(TonelessPresent(report)) + " of " + Num(total) + " present";
  const std::vector<std::string> toned_only = CoveredByTonedOnly(report);
  if (!toned_only.empty()) {
    out += ", " + Num(toned_only.size()) + " covered by toned clips alone:" + Names(toned_only);
  }
  const std::vector<std::string> missing = MissingSyllables(report);
  if (!missing.empty()) out += ", " + Num(missing.size()) + " missing:" + Names(missing);
  out += "\n";

  out += "Toned clips: " + Num(report.pairs_present()) + " of " + Num(report.pairs_asked()) +
         " syllable and tone pairs the program can ask for";
  out += report.pairs_present() == 0 ? " (optional: the toneless clips serve every tone)\n"
                                     : "\n";
  const std::vector<std::string> not_asked = TonedNotAskedFor(report);
  if (!not_asked.empty()) {
    out += "Toned clips of a tone no character takes:" + Names(not_asked) + "\n";
  }

  const std::vector<std::string> invalid = InvalidFiles(report);
  out += "Invalid clips: " + Num(invalid.size()) + Names(invalid) + "\n";

  const ClipResult& pause = report.no_syllable_clip;
  out += "No-syllable clip .wav: ";
  if (!pause.present) {
    out += "missing (units without a syllable pass in silence)\n";
  } else if (!pause.info.ok()) {
    out += "invalid\n";
  } else {
    out += "present, " + Num(pause.info.duration_ms) + " ms\n";
  }

  const std::vector<std::string> quiet = SilenceFlaggedFiles(report);
  const std::string threshold = ThresholdText();
  out += "Silence over " + Num(kSilenceFlagMs) + " ms below " + threshold +
         " dBFS at start or end: " + Num(quiet.size()) + " clips" + Names(quiet) +
         (quiet.empty() ? "\n" : " (trim them so the speech flows)\n");

  const std::vector<std::string> long_files = LongFiles(report);
  if (!long_files.empty()) {
    out += "Warning: longer than " + Num(kLongClipMs / 1000) + " s:" + Names(long_files) +
           " (a syllable lasts well under a second: is a whole recording left uncut?)\n";
  }

  const DurationStats d = Durations(report);
  if (d.count > 0) {
    out += "Durations: min " + Num(d.min) + " ms (" + d.min_name + "), median " + Num(d.median) +
           " ms, max " + Num(d.max) + " ms (" + d.max_name + ") over " + Num(d.count) +
           " syllable clips\n";
  }
  if (!report.unused.empty()) out += "Not asked for by the program:" + Names(report.unused) + "\n";
  for (const NameHint& h : report.hints) {
    out += "Hint: " + h.file + ": this program writes u-umlaut as u; name it " + h.suggested +
           "\n";
  }
  out += std::string("Result: ") +
         (report.passes() ? "complete and valid" : "clips missing or invalid") + "\n";
  return out;
}

std::string JsonReport(const BankReport& report) {
  const DurationStats d = Durations(report);
  const std::string threshold = ThresholdText();

  std::string out = "{\n  \"folder\": " + JsonString(report.folder) + ",\n";
  out += "  \"syllables_expected\": " + Num(report.syllables.size()) + ",\n";
  out += "  \"syllables_present\": " + Num(TonelessPresent(report)) + ",\n";
  out += "  \"missing\": " + JsonArray(MissingSyllables(report)) + ",\n";
  out += "  \"covered_by_toned_only\": " + JsonArray(CoveredByTonedOnly(report)) + ",\n";
  out += "  \"toned_pairs_expected\": " + Num(report.pairs_asked()) + ",\n";
  out += "  \"toned_pairs_present\": " + Num(report.pairs_present()) + ",\n";
  out += "  \"toned_missing\": " + JsonArray(TonedMissing(report)) + ",\n";
  out += "  \"toned_not_asked_for\": " + JsonArray(TonedNotAskedFor(report)) + ",\n";
  out += "  \"invalid\": " + JsonArray(InvalidFiles(report)) + ",\n";
  out += "  \"no_syllable_clip\": " + ClipJson(report.no_syllable_clip) + ",\n";
  out += std::string("  \"silence_threshold_dbfs\": ") + threshold + ",\n";
  out += "  \"silence_flag_ms\": " + Num(kSilenceFlagMs) + ",\n";
  out += "  \"silence_flagged\": " + JsonArray(SilenceFlaggedFiles(report)) + ",\n";
  out += "  \"long_clip_ms\": " + Num(kLongClipMs) + ",\n";
  out += "  \"long_clips\": " + JsonArray(LongFiles(report)) + ",\n";
  out += "  \"durations_ms\": ";
  if (d.count > 0) {
    out += "{\"count\": " + Num(d.count) + ", \"min\": " + Num(d.min) +
           ", \"median\": " + Num(d.median) + ", \"max\": " + Num(d.max) + "}";
  } else {
    out += "null";
  }
  out += ",\n  \"unused\": " + JsonArray(report.unused) + ",\n";
  out += "  \"hints\": [";
  for (size_t i = 0; i < report.hints.size(); ++i) {
    out += (i ? ", " : "") + std::string("{\"file\": ") + JsonString(report.hints[i].file) +
           ", \"suggested\": " + JsonString(report.hints[i].suggested) + "}";
  }
  out += "],\n  \"clips\": [\n";
  for (size_t i = 0; i < report.syllables.size(); ++i) {
    out += "    " + SyllableJson(report.syllables[i]) +
           (i + 1 < report.syllables.size() ? ",\n" : "\n");
  }
  out += std::string("  ],\n  \"complete\": ") + (report.missing_count() == 0 ? "true" : "false") +
         ",\n  \"valid\": " + (report.invalid_count() == 0 ? "true" : "false") +
         ",\n  \"passes\": " + (report.passes() ? "true" : "false") + "\n}\n";
  return out;
}

}  // namespace sylbank
