#include <array>
#include <stdexcept>
#include <string>

#include "Operation.h"
#include "Operations.h"

namespace bench {
namespace {

// The targets are the highest ratios we accept (docs/performance.md).
constexpr std::array kPairs = {
    OperationPair{"wave_update", &makeWaveUpdate, &makeRingTurnBaseline, 2.0},
    OperationPair{"spectrum_step", &makeSpectrumStep, &makeSpectrumStepBaseline, std::nullopt},
    OperationPair{"fade_step", &makeFadeStep, &makeFadeStepBaseline, std::nullopt},
    OperationPair{"layout_pass", &makeLayoutPass, &makeLayoutBaseline, 3.0},
    OperationPair{"color_view_construction", &makeColorViewConstruction, &makePaletteBaseline, std::nullopt},
    OperationPair{"refresh_prefs_xml", &makeRefreshPrefsXml, &makePlistParseXmlBaseline, 1.5},
    OperationPair{"refresh_prefs_binary", &makeRefreshPrefsBinary, &makePlistParseBinaryBaseline, 1.5},
    OperationPair{"file_read_xml", &makeFileReadXml, &makePlistParseXmlBaseline, std::nullopt},
    OperationPair{"file_read_binary", &makeFileReadBinary, &makePlistParseBinaryBaseline, std::nullopt},
    OperationPair{"dictionary_from_xml", &makeDictionaryFromXml, &makePlistParseXmlBaseline, std::nullopt},
    OperationPair{"dictionary_from_binary", &makeDictionaryFromBinary, &makePlistParseBinaryBaseline, std::nullopt},
    OperationPair{"render_frame", &makeRenderFrame, &makeRenderBaseline, std::nullopt},
    OperationPair{"gif_frame", &makeGifFrame, &makeGifBaseline, std::nullopt},
};

}  // namespace

std::span<const OperationPair> operationPairs() { return kPairs; }

const OperationPair& findPair(std::string_view name) {
  for (const OperationPair& pair : kPairs) {
    if (pair.name == name) return pair;
  }
  std::string known;
  for (const OperationPair& pair : kPairs) known += std::string(known.empty() ? "" : ", ") + pair.name;
  throw std::invalid_argument("no operation named '" + std::string(name) + "'; the operations: " + known);
}

}  // namespace bench
