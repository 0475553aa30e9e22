// Sets of enumeration values, bit n standing for value n (at most 64 values).
#pragma once

#include <cstdint>
#include <initializer_list>

template <class E>
class TSet {
 public:
  constexpr TSet() = default;
  constexpr TSet(E e) : bits_(Bit(e)) {}
  constexpr TSet(std::initializer_list<E> items) {
    for (E e : items) bits_ |= Bit(e);
  }
  static constexpr TSet FromBits(uint64_t b) {
    TSet s;
    s.bits_ = b;
    return s;
  }

  constexpr bool Contains(E e) const { return (bits_ & Bit(e)) != 0; }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr uint64_t Bits() const { return bits_; }

  // Union, difference and intersection with a value or a set.
  constexpr TSet operator+(TSet o) const { return FromBits(bits_ | o.bits_); }
  constexpr TSet operator-(TSet o) const { return FromBits(bits_ & ~o.bits_); }
  constexpr TSet operator*(TSet o) const { return FromBits(bits_ & o.bits_); }
  constexpr TSet& operator+=(TSet o) { bits_ |= o.bits_; return *this; }
  constexpr TSet& operator-=(TSet o) { bits_ &= ~o.bits_; return *this; }
  constexpr TSet& operator*=(TSet o) { bits_ &= o.bits_; return *this; }
  // Insertion and removal in the platform's spelling: s << a << b, s >> c.
  constexpr TSet& operator<<(E e) { bits_ |= Bit(e); return *this; }
  constexpr TSet& operator>>(E e) { bits_ &= ~Bit(e); return *this; }
  constexpr bool operator==(const TSet& o) const { return bits_ == o.bits_; }
  constexpr bool operator!=(const TSet& o) const { return bits_ != o.bits_; }
  // Every value of o is in this set.
  constexpr bool Includes(TSet o) const { return (bits_ & o.bits_) == o.bits_; }

 private:
  static constexpr uint64_t Bit(E e) { return uint64_t{1} << static_cast<unsigned>(e); }
  uint64_t bits_ = 0;
};
