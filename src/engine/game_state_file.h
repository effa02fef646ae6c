#pragma once

#include "engine/engine.h"

class CFileReader;
class CFileWriter;

// The 324-byte file image of GAME_STATE, field by field in little-endian order. The active
// camera pointer is written as zero and never taken from a file.
bool WriteGameState(CFileWriter& writer, const GAME_STATE& state);

// Reads the image into state, leaving state.pActiveCamera as it was. On failure state is
// left partly filled; the reader reports the failure.
bool ReadGameState(CFileReader& reader, GAME_STATE& state);
