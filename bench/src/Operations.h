// The operations and baselines the benchmarks pair up (see Operation.h for
// what an operation is). Each factory prepares its operation from scratch: the
// settings, the preferences file and the main run loop are set anew; the
// caller owns what it returns. Main thread only.
#pragma once

#include <memory>

#include "Operation.h"

namespace bench {

// The extension at work on a pill of the host, driven by the run loop.
std::unique_ptr<Operation> makeWaveUpdate();
std::unique_ptr<Operation> makeSpectrumStep();
std::unique_ptr<Operation> makeFadeStep();
std::unique_ptr<Operation> makeLayoutPass();
std::unique_ptr<Operation> makeColorViewConstruction();
std::unique_ptr<Operation> makeRefreshPrefsXml();
std::unique_ptr<Operation> makeRefreshPrefsBinary();
std::unique_ptr<Operation> makeFileReadXml();
std::unique_ptr<Operation> makeFileReadBinary();
std::unique_ptr<Operation> makeDictionaryFromXml();
std::unique_ptr<Operation> makeDictionaryFromBinary();

// Their baselines.
std::unique_ptr<Operation> makeRingTurnBaseline();
std::unique_ptr<Operation> makeSpectrumStepBaseline();
std::unique_ptr<Operation> makeFadeStepBaseline();
std::unique_ptr<Operation> makeLayoutBaseline();
std::unique_ptr<Operation> makePaletteBaseline();
std::unique_ptr<Operation> makePlistParseXmlBaseline();
std::unique_ptr<Operation> makePlistParseBinaryBaseline();

// The simulator's pictures of ten pills, two of each style, and their baselines.
std::unique_ptr<Operation> makeRenderFrame();
std::unique_ptr<Operation> makeRenderBaseline();
std::unique_ptr<Operation> makeGifFrame();
std::unique_ptr<Operation> makeGifBaseline();

}  // namespace bench
