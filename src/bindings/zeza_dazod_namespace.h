// The host namespace ZezaDazod: its namespace information and the three
// namespace functions that steer the block-diagram tool's string table.
//
//   vesk::COSNamespace* ns = ptGetZezaDazodCOSNamespace();
//   vesk::callFunction("ZezaDazod.clsvStringTableDoGarbageCollection", {}, 0);
//
// Each function runs the host function "clsvInternal" with one sub-command on
// the current host virtual machine and waits until it has finished; its
// errors reach the caller.
#pragma once

#include <string>

#include "platform/object_system.h"

class ZezaDazodCOSNamespaceInfo : public vesk::COSNamespaceInfo {
 public:
  /// Made on first use, never destroyed.
  static ZezaDazodCOSNamespaceInfo& get();

  std::string getName() const override { return name_; }
  /// Adds the three functions, then the class ZezaDazod.Tracer.ScopedTracerData.
  void initializeNamespace(vesk::COSNamespace* ns) override;
  bool isLocked() const override { return false; }

  /// "clsvStringTableDoGarbageCollection".
  static void stringTableCollectGarbageNow();
  /// "clsvStringTableDisableGarbageCollection".
  static void enterStringTableNoLeakMode();
  /// "clsvStringTableEnableGarbageCollection".
  static void exitStringTableNoLeakMode();

 private:
  ZezaDazodCOSNamespaceInfo() = default;
  std::string name_ = "ZezaDazod";
};

/// The namespace ZezaDazod, added to the host object system on the first call.
vesk::COSNamespace* ptGetZezaDazodCOSNamespace();
