#pragma once

// The 54 entry points of the port-access module, in the order the lamp driver looks them up.
// X(name, result, parameters, failure result, called by the driver)
// The failure result is what a module returns for an entry point it does not provide a
// working implementation of.

#include <cstdint>

#include "lampdriver/ExportConvention.h"

#define OLS_CALL LAMP_STDCALL
#define OLS_EXPORT LAMP_EXPORT

namespace Ols {
using Bool = int;
using Byte = std::uint8_t;
using Word = std::uint16_t;
using Dword = std::uint32_t;
using Mask = std::uintptr_t;
} // namespace Ols

// clang-format off
#define OLS_FUNCTIONS(X)                                                                           \
    X(GetDllStatus, Ols::Dword, (), 1, 0)                                                          \
    X(GetDllVersion, Ols::Dword, (Ols::Byte*, Ols::Byte*, Ols::Byte*, Ols::Byte*), 0, 0)           \
    X(GetDriverVersion, Ols::Dword, (Ols::Byte*, Ols::Byte*, Ols::Byte*, Ols::Byte*), 0, 0)        \
    X(GetDriverType, Ols::Dword, (), 0, 0)                                                         \
    X(InitializeOls, Ols::Bool, (), 0, 1)                                                          \
    X(DeinitializeOls, void, (), , 0)                                                              \
    X(IsCpuid, Ols::Bool, (), 0, 0)                                                                \
    X(IsMsr, Ols::Bool, (), 0, 0)                                                                  \
    X(IsTsc, Ols::Bool, (), 0, 0)                                                                  \
    X(Hlt, Ols::Bool, (), 0, 0)                                                                    \
    X(Rdmsr, Ols::Bool, (Ols::Dword, Ols::Dword*, Ols::Dword*), 0, 0)                              \
    X(Wrmsr, Ols::Bool, (Ols::Dword, Ols::Dword, Ols::Dword), 0, 0)                                \
    X(Rdpmc, Ols::Bool, (Ols::Dword, Ols::Dword*, Ols::Dword*), 0, 0)                              \
    X(Cpuid, Ols::Bool, (Ols::Dword, Ols::Dword*, Ols::Dword*, Ols::Dword*, Ols::Dword*), 0, 0)    \
    X(Rdtsc, Ols::Bool, (Ols::Dword*, Ols::Dword*), 0, 0)                                          \
    X(HltTx, Ols::Bool, (Ols::Mask), 0, 0)                                                         \
    X(RdmsrTx, Ols::Bool, (Ols::Dword, Ols::Dword*, Ols::Dword*, Ols::Mask), 0, 0)                 \
    X(WrmsrTx, Ols::Bool, (Ols::Dword, Ols::Dword, Ols::Dword, Ols::Mask), 0, 0)                   \
    X(RdpmcTx, Ols::Bool, (Ols::Dword, Ols::Dword*, Ols::Dword*, Ols::Mask), 0, 0)                 \
    X(CpuidTx, Ols::Bool,                                                                          \
      (Ols::Dword, Ols::Dword*, Ols::Dword*, Ols::Dword*, Ols::Dword*, Ols::Mask), 0, 0)           \
    X(RdtscTx, Ols::Bool, (Ols::Dword*, Ols::Dword*, Ols::Mask), 0, 0)                             \
    X(HltPx, Ols::Bool, (Ols::Mask), 0, 0)                                                         \
    X(RdmsrPx, Ols::Bool, (Ols::Dword, Ols::Dword*, Ols::Dword*, Ols::Mask), 0, 0)                 \
    X(WrmsrPx, Ols::Bool, (Ols::Dword, Ols::Dword, Ols::Dword, Ols::Mask), 0, 0)                   \
    X(RdpmcPx, Ols::Bool, (Ols::Dword, Ols::Dword*, Ols::Dword*, Ols::Mask), 0, 0)                 \
    X(CpuidPx, Ols::Bool,                                                                          \
      (Ols::Dword, Ols::Dword*, Ols::Dword*, Ols::Dword*, Ols::Dword*, Ols::Mask), 0, 0)           \
    X(RdtscPx, Ols::Bool, (Ols::Dword*, Ols::Dword*, Ols::Mask), 0, 0)                             \
    X(ReadIoPortByte, Ols::Byte, (Ols::Word), 0xFF, 1)                                             \
    X(ReadIoPortWord, Ols::Word, (Ols::Word), 0xFFFF, 0)                                           \
    X(ReadIoPortDword, Ols::Dword, (Ols::Word), 0xFFFFFFFFu, 1)                                    \
    X(ReadIoPortByteEx, Ols::Bool, (Ols::Word, Ols::Byte*), 0, 0)                                  \
    X(ReadIoPortWordEx, Ols::Bool, (Ols::Word, Ols::Word*), 0, 0)                                  \
    X(ReadIoPortDwordEx, Ols::Bool, (Ols::Word, Ols::Dword*), 0, 0)                                \
    X(WriteIoPortByte, void, (Ols::Word, Ols::Byte), , 1)                                          \
    X(WriteIoPortWord, void, (Ols::Word, Ols::Word), , 0)                                          \
    X(WriteIoPortDword, void, (Ols::Word, Ols::Dword), , 1)                                        \
    X(WriteIoPortByteEx, Ols::Bool, (Ols::Word, Ols::Byte), 0, 0)                                  \
    X(WriteIoPortWordEx, Ols::Bool, (Ols::Word, Ols::Word), 0, 0)                                  \
    X(WriteIoPortDwordEx, Ols::Bool, (Ols::Word, Ols::Dword), 0, 0)                                \
    X(SetPciMaxBusIndex, void, (Ols::Byte), , 0)                                                   \
    X(ReadPciConfigByte, Ols::Byte, (Ols::Dword, Ols::Byte), 0xFF, 0)                              \
    X(ReadPciConfigWord, Ols::Word, (Ols::Dword, Ols::Byte), 0xFFFF, 0)                            \
    X(ReadPciConfigDword, Ols::Dword, (Ols::Dword, Ols::Byte), 0xFFFFFFFFu, 0)                     \
    X(ReadPciConfigByteEx, Ols::Bool, (Ols::Dword, Ols::Dword, Ols::Byte*), 0, 0)                  \
    X(ReadPciConfigWordEx, Ols::Bool, (Ols::Dword, Ols::Dword, Ols::Word*), 0, 0)                  \
    X(ReadPciConfigDwordEx, Ols::Bool, (Ols::Dword, Ols::Dword, Ols::Dword*), 0, 0)                \
    X(WritePciConfigByte, void, (Ols::Dword, Ols::Byte, Ols::Byte), , 0)                           \
    X(WritePciConfigWord, void, (Ols::Dword, Ols::Byte, Ols::Word), , 0)                           \
    X(WritePciConfigDword, void, (Ols::Dword, Ols::Byte, Ols::Dword), , 0)                         \
    X(WritePciConfigByteEx, Ols::Bool, (Ols::Dword, Ols::Dword, Ols::Byte), 0, 0)                  \
    X(WritePciConfigWordEx, Ols::Bool, (Ols::Dword, Ols::Dword, Ols::Word), 0, 0)                  \
    X(WritePciConfigDwordEx, Ols::Bool, (Ols::Dword, Ols::Dword, Ols::Dword), 0, 0)                \
    X(FindPciDeviceById, Ols::Dword, (Ols::Word, Ols::Word, Ols::Byte), 0xFFFFFFFFu, 0)            \
    X(FindPciDeviceByClass, Ols::Dword, (Ols::Byte, Ols::Byte, Ols::Byte, Ols::Byte), 0xFFFFFFFFu, 0)

// Definitions of the entry points a module leaves unimplemented: each answers its failure result.
#define OLS_STUB_0(name, result, params, failure)                                                  \
    extern "C" OLS_EXPORT result OLS_CALL name params { return failure; }
#define OLS_STUB_1(name, result, params, failure)
#define OLS_STUB(name, result, params, failure, used) OLS_STUB_##used(name, result, params, failure)
// clang-format on
