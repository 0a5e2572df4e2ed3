// A fresh machine folder for each test of the clock, OS facts, debug
// output, loader and synchronisation, removed afterwards.
#ifndef TEST_LOADER_FIXTURE_H
#define TEST_LOADER_FIXTURE_H

#include <plat/machine.h>

#include <plat_test/fresh_machine.h>

using FreshMachine = plat_test::FreshMachineTest;

#endif
