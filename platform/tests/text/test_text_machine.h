// A fresh machine per test for the text and code-page tests: the ANSI code
// page is machine state, so every test starts from 1252 in its own folder.
#ifndef TEST_TEXT_MACHINE_H
#define TEST_TEXT_MACHINE_H

#include <plat/codepage.h>
#include <plat/machine.h>

#include <plat_test/fresh_machine.h>

class TextMachine : public plat_test::FreshMachineTest {
protected:
    TextMachine() : FreshMachineTest("tarvel-text") {}
};

#endif
