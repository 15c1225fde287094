// The states a table's lock object can be in, and the session's record-lock protocol.
//
// TLockStates is the set of TLockState values held by one TDataTableLocks, stored in one byte
// (bit 0 read, bit 1 write, bit 2 transaction) as the engine has always kept it.
#pragma once

#include <cstdint>

namespace kura {

enum TLockState : uint8_t { lsReadLocked = 0, lsWriteLocked = 1, lsTransLocked = 2 };

class TLockStates {
 public:
  constexpr TLockStates() = default;
  constexpr explicit TLockStates(uint8_t bits) : bits_(bits) {}

  constexpr bool Contains(TLockState state) const { return (bits_ & Bit(state)) != 0; }
  constexpr void Include(TLockState state) { bits_ = static_cast<uint8_t>(bits_ | Bit(state)); }
  constexpr void Exclude(TLockState state) {
    bits_ = static_cast<uint8_t>(bits_ & ~Bit(state));
  }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr uint8_t Value() const { return bits_; }

  friend constexpr bool operator==(TLockStates, TLockStates) = default;

 private:
  static constexpr uint8_t Bit(TLockState state) { return static_cast<uint8_t>(1u << state); }
  uint8_t bits_ = 0;
};

// When a cursor locks the record being edited: when the edit begins (pessimistic) or only
// while the change is posted (optimistic).
enum TLockProtocol : uint8_t { lpPessimistic = 0, lpOptimistic = 1 };

}  // namespace kura
