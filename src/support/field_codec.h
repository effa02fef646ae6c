#pragma once

// Visitors that move a record's numbers through a bounded reader or writer one field at a
// time, in little-endian order. A record lists its fields once, in file order, and the same
// list serves saving and loading (see engine/game_state_file.cpp, scene/camera.cpp).

#include "math/plane.h"
#include "math/vector.h"
#include "support/binary_file.h"

struct FieldWriter {
    CFileWriter& writer;

    void operator()(DWORD value) const { writer.WriteU32(value); }
    void operator()(LONG value) const { writer.WriteI32(value); }
    void operator()(float value) const { writer.WriteF32(value); }
    void operator()(const D3DVECTOR& v) const {
        writer.WriteF32(v.x);
        writer.WriteF32(v.y);
        writer.WriteF32(v.z);
    }
    void operator()(const D3DPLANE& plane) const {
        (*this)(plane.normal);
        writer.WriteF32(plane.biasedDistance);
        writer.WriteF32(plane.distance);
    }
};

struct FieldReader {
    CFileReader& reader;

    void operator()(DWORD& value) const { reader.ReadU32(value); }
    void operator()(LONG& value) const { reader.ReadI32(value); }
    void operator()(float& value) const { reader.ReadF32(value); }
    void operator()(D3DVECTOR& v) const {
        reader.ReadF32(v.x);
        reader.ReadF32(v.y);
        reader.ReadF32(v.z);
    }
    void operator()(D3DPLANE& plane) const {
        (*this)(plane.normal);
        reader.ReadF32(plane.biasedDistance);
        reader.ReadF32(plane.distance);
    }
};
