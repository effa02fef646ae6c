#include "math/random.h"

#include <bit>
#include <cmath>
#include <cstdint>

namespace {

constexpr int kBufferLength = 17;
constexpr int kSecondLagStart = 10;
constexpr int kRotation0 = 13;
constexpr int kRotation1 = 5;

constexpr double kSeedOffset = 0.147328926107;
constexpr double kSeedMultiplier = 46.1063140045;
constexpr double kSeedShrink = 0.0817835148503;

// 1.0 as a double has this high word; the low 20 bits of it carry fraction bits.
constexpr DWORD kOneHighWord = 0x3FF00000;
constexpr DWORD kFractionHighMask = 0x000FFFFF;

class Generator {
public:
    void Seed(double seed) {
        // An infinite seed would never shrink below 1 (and NaN picks no branch): the seed
        // comes from level files, so anything not finite seeds as 0.
        if (!std::isfinite(seed)) {
            seed = 0.0;
        }
        if (seed < 0.0) {
            seed = kSeedOffset - seed;
        }
        while (seed >= 1.0) {
            seed *= kSeedShrink;
        }
        for (auto& entry : m_buffer) {
            for (DWORD& word : entry) {
                seed = (std::sqrt(seed) + kSeedOffset) * kSeedMultiplier;
                seed -= std::floor(seed);
                word = static_cast<DWORD>(std::bit_cast<std::uint64_t>(seed));
            }
        }
        m_outputLow = 0;
        m_outputHigh = 0x3FF80000; // 1.5
        m_lag1 = 0;
        m_lag2 = kSecondLagStart;
    }

    void Advance() {
        DWORD(&entry1)[2] = m_buffer[m_lag1];
        const DWORD(&entry2)[2] = m_buffer[m_lag2];
        const DWORD a = std::rotr(entry1[0], kRotation0) + entry2[0];
        const DWORD b = std::rotr(entry1[1], kRotation1) + entry2[1];
        entry1[0] = b;
        entry1[1] = a;
        m_outputLow = b;
        m_outputHigh = (a & kFractionHighMask) | kOneHighWord;
        m_lag1 = Previous(m_lag1);
        m_lag2 = Previous(m_lag2);
    }

    // The output as a double in [1, 2).
    double Output() const {
        return std::bit_cast<double>(std::uint64_t{m_outputHigh} << 32 | m_outputLow);
    }
    DWORD OutputLow() const { return m_outputLow; }

private:
    static int Previous(int lag) { return lag == 0 ? kBufferLength - 1 : lag - 1; }

    // Zero until the first seeding.
    DWORD m_buffer[kBufferLength][2] = {};
    int m_lag1 = 0;
    int m_lag2 = kSecondLagStart;
    DWORD m_outputLow = 0;
    DWORD m_outputHigh = 0;
};

constexpr int kTableLength = 1024;

// A table of precomputed draws in static storage, so it never fails to exist; a table
// that was never generated reads as 0.
template <typename T, DWORD OffsetMask, T (*Draw)()> class RandomTable {
public:
    static_assert(OffsetMask + sizeof(T) == kTableLength * sizeof(T));

    void Fill() {
        for (T& entry : m_entries) {
            entry = Draw();
        }
        m_generated = true;
    }

    T Read(DWORD& byteCursor) const {
        if (!m_generated) {
            return T{};
        }
        const T value = m_entries[(byteCursor & OffsetMask) / sizeof(T)];
        byteCursor += sizeof(T);
        return value;
    }

private:
    T m_entries[kTableLength] = {};
    bool m_generated = false;
};

Generator g_generator;
RandomTable<double, 0x1FF8, rgRandom> g_doubleTable;
RandomTable<float, 0xFFC, rgRandomF> g_floatTable;
RandomTable<DWORD, 0xFFC, rgRandomN> g_integerTable;
DWORD g_tableCursor = 0;

} // namespace

void rgRandomize(double seed) {
    g_generator.Seed(seed);
}

double rgRandom() {
    g_generator.Advance();
    return g_generator.Output() - 1.0;
}

float rgRandomF() {
    return static_cast<float>(rgRandom());
}

DWORD rgRandomN() {
    g_generator.Advance();
    return g_generator.OutputLow();
}

int rgGenerateTable(int kind) {
    switch (kind) {
    case RANDOM_TABLE_DOUBLE:
        g_doubleTable.Fill();
        break;
    case RANDOM_TABLE_FLOAT:
        g_floatTable.Fill();
        break;
    case RANDOM_TABLE_INTEGER:
        g_integerTable.Fill();
        break;
    default:
        return 0;
    }
    g_tableCursor = 0;
    return 1;
}

double rgRandomT() {
    return g_doubleTable.Read(g_tableCursor);
}

float rgRandomFT() {
    return g_floatTable.Read(g_tableCursor);
}

DWORD rgRandomNT() {
    return g_integerTable.Read(g_tableCursor);
}
