// Storage for a process-wide object that is constant-initialised, so other
// objects' static initialisers may use it, and never destroyed, so their
// destructors and exit handlers may use it too:
//
//   constinit platform::Immortal<Registry> registry;   // registry.value
#pragma once

namespace platform {

template <class T>
union Immortal {
  constexpr Immortal() : value() {}
  ~Immortal() {}
  T value;
};

}  // namespace platform
