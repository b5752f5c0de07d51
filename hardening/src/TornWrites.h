// Torn writes: one process rewrites the preferences file in a loop through the
// platform's one writer (aurora::PreferencesFile, as the settings pane does)
// while another re-reads it in a loop the way the extension does
// (NSDictionary::dictionaryWithContentsOfFile). Every read must see a whole
// file, the old one or the new one: a version number, a padding string made
// of that version's letter and a check value derived from it, all agreeing,
// and versions that never go back.
//
//   TornReport report = runTornWrites(TornPlan{}, demoRoot());
//
// Forks both processes. Call from a process with one thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "ChildProcess.h"
#include "aurora/PreferencesFile.h"

namespace hardening {

struct TornPlan {
  int writes = 2000;
  std::size_t paddingBytes = 64 * 1024;  // big enough that a write is many syscalls' worth
  aurora::PlistFormat format = aurora::PlistFormat::Xml;
  std::chrono::milliseconds wallLimit = std::chrono::seconds(120);
};

struct WriterFigures {
  std::uint64_t writes = 0;
  double seconds = 0;  // the writer's time
};

struct ReaderFigures {
  std::uint64_t reads = 0;
  std::uint64_t whole = 0;         // reads that saw one version, all of it
  std::uint64_t torn = 0;          // no dictionary, or parts of different versions
  std::uint64_t wentBack = 0;      // a version older than one read before
  std::uint64_t versionsSeen = 0;  // distinct versions read
};

NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE(WriterFigures, writes, seconds)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE(ReaderFigures, reads, whole, torn, wentBack, versionsSeen)

struct TornReport {
  ChildResult writer;
  ChildResult reader;
  WriterFigures written;
  ReaderFigures read;

  bool clean() const {
    return writer.ok() && reader.ok() && read.torn == 0 && read.wentBack == 0 && read.whole == read.reads &&
           read.reads > 0;
  }
};

TornReport runTornWrites(const TornPlan& plan, const std::filesystem::path& sourceRoot);

}  // namespace hardening
