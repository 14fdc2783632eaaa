#pragma once

#include <gtest/gtest.h>

#include <functional>

#include "fault/Fault.h"

namespace kestrix {

// The fault that the work raises; a test failure when it raises none.
inline Fault faultOf(const std::function<void()>& work) {
    try {
        work();
    } catch (const Fault& fault) {
        return fault;
    }
    ADD_FAILURE() << "no fault raised";
    return Fault(0, {}, {});
}

}  // namespace kestrix
