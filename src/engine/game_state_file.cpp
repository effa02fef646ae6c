#include "engine/game_state_file.h"

#include "support/field_codec.h"

namespace {

// The image's 32-bit fields between the header and the level name, in file order. Templated
// on constness so that reading and writing share one field list.
template <class State, class Visitor> void VisitNumericFields(State& state, Visitor&& visit) {
    visit(state.dwFileId);
    visit(state.dwHeaderSize);
    visit(state.dwNextEntityId);
    visit(state.dwRenderTime);
    visit(state.fRenderTime);
    visit(state.dwDeltaRenderTime);
    visit(state.fDeltaRenderTime);
    visit(state.dwPhysicsTime);
    visit(state.fPhysicsTime);
    visit(state.dwDeltaPhysicsTime);
    visit(state.fDeltaPhysicsTime);
    visit(state.dwReserved);
    visit(state.fQuadrantFactor);
    visit(state.fWorldMin);
    visit(state.fWorldMax);
    visit(state.fWorldSize);
}

} // namespace

bool WriteGameState(CFileWriter& writer, const GAME_STATE& state) {
    VisitNumericFields(state, FieldWriter{writer});
    writer.Write(state.szLevelFile, sizeof state.szLevelFile);
    writer.WriteU32(0); // the camera pointer means nothing in a file
    return !writer.Failed();
}

bool ReadGameState(CFileReader& reader, GAME_STATE& state) {
    VisitNumericFields(state, FieldReader{reader});
    reader.Read(state.szLevelFile, sizeof state.szLevelFile);
    // A name that fills the field is cut so that it stays a terminated string.
    state.szLevelFile[sizeof state.szLevelFile - 1] = '\0';
    reader.Skip(4);
    return !reader.Failed();
}
