#pragma once

#include <QString>
#include <QtGlobal>

#include <array>
#include <cstddef>
#include <type_traits>

// Value types of the host framework and its business components. Their sizes and bit layouts are
// part of the host's binary interface, so they are fixed here and checked at compile time.

enum class TQVX_TriState : quint8 { Unbestimmt = 0, Nein = 1, Ja = 2 };

// A Pascal-style set: bit n mod 8 of byte n div 8 stands for member n.
template <std::size_t Bytes> struct TByteSet
{
    std::array<quint8, Bytes> bytes{};

    static constexpr int capacity() { return int(Bytes * 8); }

    constexpr bool contains(int member) const
    {
        return member >= 0 && member < capacity() && (bytes[member / 8] & (1u << (member % 8))) != 0;
    }
    constexpr void include(int member) { bytes[byteOf(member)] |= bitOf(member); }
    constexpr void exclude(int member) { bytes[byteOf(member)] &= quint8(~bitOf(member)); }
    constexpr bool isEmpty() const
    {
        for (quint8 b : bytes)
            if (b != 0)
                return false;
        return true;
    }
    constexpr int count() const
    {
        int n = 0;
        for (int m = 0; m < capacity(); ++m)
            n += contains(m) ? 1 : 0;
        return n;
    }
    friend constexpr bool operator==(const TByteSet &, const TByteSet &) = default;

private:
    // A member outside the set changes nothing: its bit is none of byte 0. Without a branch, so that no
    // part of the body is split off and shared between sets of different sizes (GCC then warns falsely).
    static constexpr bool holds(int member) { return member >= 0 && member < capacity(); }
    static constexpr std::size_t byteOf(int member) { return holds(member) ? std::size_t(member) / 8 : 0; }
    static constexpr quint8 bitOf(int member) { return holds(member) ? quint8(1u << (member % 8)) : 0; }
};

// Business-transaction types, ids 0 to 8, in a set of 16 members.
using TQVX_Aufgabe_Geschaeftsvorfall_Set = TByteSet<2>;
// Origins, ids 0 to 53, in a set of 56 members.
using TQVX_Herkunftskennzeichen_Set = TByteSet<7>;
// Task kinds, ordinals 0 to 8, handed to the task manager as one 16-bit value.
using TQVX_Aufgabe_Art_Erw_Set = TByteSet<2>;
// Document kinds of the document selection, up to 40 ordinals.
using TQVX_Belegart_Set = TByteSet<5>;

static_assert(sizeof(TQVX_Aufgabe_Geschaeftsvorfall_Set) == 2);
static_assert(sizeof(TQVX_Herkunftskennzeichen_Set) == 7);
static_assert(sizeof(TQVX_Belegart_Set) == 5);

inline quint16 toUInt16(const TByteSet<2> &set)
{
    return quint16(set.bytes[0] | (set.bytes[1] << 8));
}

constexpr int GeschaeftsvorfallAnzahl = 9;
constexpr int HerkunftAnzahl = 54;

using TQVX_Aufgabe_GV_Integer_Array = std::array<qint32, GeschaeftsvorfallAnzahl>;
using TQVX_Herkunfts_Integer_Array = std::array<qint32, HerkunftAnzahl>;

// Keys of the goods-dispensing settings; the system reads only the branch number.
enum class TZWL_SM_SimpleMaskKeys : int { FilialNummer = 17 };

// Values passed to the program frame at start; their meaning belongs to the framework.
enum class TEnumProzessTypen : int {};
using TPVR_InstanceCount = int;

enum class TWindowState : quint8 { Normal, Minimized, Maximized };

// The filter record of the document selection. Its binary layout up to offset 56 is the host's;
// the members behind it need construction and destruction.
struct TQVX_BA_Filter
{
    TQVX_Belegart_Set Belegarten;      // offset 0, 5 bytes
    quint8 Reserve1 = 0;               // offset 5
    qint16 Filiale = 0;                // offset 6
    qint32 KundenNr = 0;               // offset 8
    qint32 BelegNr = 0;                // offset 12
    std::array<quint8, 24> Reserve2{}; // offset 16
    double DatumVon = 0;               // offset 40
    double DatumBis = 0;               // offset 48
    QString Suchbegriff;               // offset 56
};

static_assert(std::is_standard_layout_v<TQVX_BA_Filter>);
static_assert(offsetof(TQVX_BA_Filter, Filiale) == 6);
static_assert(offsetof(TQVX_BA_Filter, DatumVon) == 40);
static_assert(offsetof(TQVX_BA_Filter, DatumBis) == 48);
static_assert(offsetof(TQVX_BA_Filter, Suchbegriff) == 56);
