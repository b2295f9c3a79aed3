// Runs a check once for every instruction set the Highway kernels were built
// for and this processor has, so that each variant, not only the one picked
// at run time, is held to the plain reference.
#pragma once

#include <gtest/gtest.h>
#include <hwy/targets.h>

template <class F>
void ForEachInstructionSet(F&& Check)
{
    for (const int64_t Target : hwy::SupportedAndGeneratedTargets()) {
        SCOPED_TRACE(hwy::TargetName(Target));
        hwy::SetSupportedTargetsForTest(Target);
        Check();
    }
    hwy::SetSupportedTargetsForTest(0);
}
