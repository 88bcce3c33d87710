// A replacement of the global operator new/delete that counts allocations, for
// the tests showing that a piece of code allocates nothing. Link the target
// scm_test_alloc into a test binary of its own: it replaces the allocator of
// the whole binary.
#pragma once

namespace TestAlloc {

/// operator new calls (all forms) since the start of the process.
long AllocationCount();
/// operator new calls (all forms) of the calling thread since it started.
long ThreadAllocationCount();

/// Counts the allocations between its construction and Count().
class CAllocationSpan {
 public:
  CAllocationSpan() : m_Start(AllocationCount()) {}
  long Count() const { return AllocationCount() - m_Start; }

 private:
  long m_Start;  ///< count when the span began
};

}  // namespace TestAlloc
