#pragma once

// Chunk ids of the RIFF WAVE and AIFF files, one process-wide constant each.

#include "sound/files/IffChunk.h"

namespace SL {
namespace IffId {

typedef CIffChunk::CFourCharacterCode Code;

// RIFF WAVE
extern const Code RIFF;
extern const Code WAVE;
extern const Code FMT;  // "fmt "
extern const Code DATA;
extern const Code SMPL;
extern const Code FACT;

// AIFF
extern const Code FORM;
extern const Code AIFF;
extern const Code COMM;
extern const Code SSND;
extern const Code MARK;
extern const Code INST;
extern const Code MIDI;
extern const Code AESD;
extern const Code APPL;
extern const Code COMT;
extern const Code NAME;
extern const Code AUTH;
extern const Code COPYRIGHT;  // "(c) "
extern const Code ANNO;

}  // namespace IffId
}  // namespace SL
