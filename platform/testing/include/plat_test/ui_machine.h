// A fresh machine for window-system tests that also checks, after each
// test, that the test left no window, GDI object, timer or posted message
// behind, that every modal script it queued was used, and that no modal
// run failed.
#ifndef PLAT_TEST_UI_MACHINE_H
#define PLAT_TEST_UI_MACHINE_H

#include <plat/dialog.h>
#include <plat/gdi_objects.h>
#include <plat/window.h>

#include <plat_test/fresh_machine.h>

#include <gtest/gtest.h>

namespace plat_test {

class UiMachineTest : public FreshMachineTest {
protected:
    UiMachineTest() : FreshMachineTest("tarvel-ui") {}

    void SetUp() override
    {
        FreshMachineTest::SetUp();
        baseObjects_ = plat::gdi_object_count();
    }

    void TearDown() override
    {
        if (checkLeaks) {
            plat::window_pump();
            EXPECT_EQ(plat::window_count(), 0u) << "windows left behind";
            EXPECT_EQ(plat::gdi_object_count(), baseObjects_) << "GDI objects left behind";
            EXPECT_EQ(plat::window_timer_count(), 0u) << "timers left behind";
            EXPECT_EQ(plat::window_queue_length(), 0u) << "posted messages left behind";
            EXPECT_EQ(plat::modal_waiting(), 0u) << "modal scripts never used";
            for (const std::string &f : plat::modal_failures())
                ADD_FAILURE() << "modal run failed: " << f;
        }
        FreshMachineTest::TearDown();
    }

    /* Tests that leave failures on purpose turn the checks off. */
    bool checkLeaks = true;

private:
    size_t baseObjects_ = 0;
};

} // namespace plat_test

#endif // PLAT_TEST_UI_MACHINE_H
