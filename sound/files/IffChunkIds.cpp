#include "sound/files/IffChunkIds.h"

namespace SL {
namespace IffId {

const Code RIFF("RIFF");
const Code WAVE("WAVE");
const Code FMT("fmt ");
const Code DATA("data");
const Code SMPL("smpl");
const Code FACT("fact");

const Code FORM("FORM");
const Code AIFF("AIFF");
const Code COMM("COMM");
const Code SSND("SSND");
const Code MARK("MARK");
const Code INST("INST");
const Code MIDI("MIDI");
const Code AESD("AESD");
const Code APPL("APPL");
const Code COMT("COMT");
const Code NAME("NAME");
const Code AUTH("AUTH");
const Code COPYRIGHT("(c) ");
const Code ANNO("ANNO");

}  // namespace IffId
}  // namespace SL
