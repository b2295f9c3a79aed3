// How long the tests that wait for a window system let a step take. The
// window system, the program and the test share the machine with whatever
// else runs: a runner whose cores a parallel build keeps busy is that much
// slower. A deadline only ends the wait for a program that never gets
// there; it never tells how long a step should take.
#pragma once

// How many times longer than on an idle machine a step may take.
constexpr int SlowMachineFactor = 5;

// The deadline of a step that takes at most IdleMs on an idle machine.
constexpr int Deadline(int IdleMs)
{
    return IdleMs * SlowMachineFactor;
}
