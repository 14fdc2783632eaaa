#pragma once

#include <cstdint>

namespace kestrix {

// The HMI's languages and the runtime variable that carries the operator's choice. The shell
// follows the variable with its language selection; the runtime starts with it set to English.
namespace HmiLanguage {

// Windows locale ids, as the language selection and the variable take them.
inline constexpr int32_t German = 1031;
inline constexpr int32_t English = 1033;

// The runtime variable that holds the language the operator chose on the HMI.
inline constexpr char Variable[] = "Ch-1.param_client<.sprache>";

}  // namespace HmiLanguage

}  // namespace kestrix
