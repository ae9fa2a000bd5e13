// The seven questions of the dialogue: their prompts, the options that answer them instead, and
// the checks that make the step arithmetic meaningful.
#pragma once

#include <array>
#include <cstddef>  // std::size_t
#include <cstdio>   // std::FILE
#include <optional>
#include <string>
#include <string_view>

#include "run_parameters.hpp"

namespace kelvarin {

/// One question of the dialogue.
struct Question {
  const char* prompt;  // as the console shows it; scripts wait for it, typos included
  const char* name;    // for messages about the answer
  const char* option;  // the long option that gives it, without its dashes
  float RunParameters::*field;
};

/// The seven questions, in dialogue order.
inline constexpr std::size_t kQuestionCount = 7;
extern const std::array<Question, kQuestionCount> kQuestions;

/// Positions in kQuestions of the answers that --places replaces.
inline constexpr std::size_t kLatitudeQuestion = 0;
inline constexpr std::size_t kLongitudeQuestion = 1;
inline constexpr std::size_t kOutputStepQuestion = 4;

/// Which of the seven answers, in dialogue order, are given already and not asked.
using GivenAnswers = std::array<bool, kQuestionCount>;

/// Takes a calendar period's name ("dekad", "month", "year") as the output step. Returns false
/// for any other word.
bool takePeriod(std::string_view word, RunParameters& params);

/// Asks the questions not `given` on `console` and reads each answer into `params` from `answers`
/// with the C library's "%f" conversion. Returns the refusal line for the console when an answer
/// is not a number or the answers end before it; the questions after it are not asked.
std::optional<std::string> readRunParameters(std::FILE* answers, std::FILE* console,
                                             RunParameters& params, const GivenAnswers& given = {});

/// Returns why the answers cannot be used, as one line for the console, or nothing when they can.
/// Values `given` as options are named by their option.
std::optional<std::string> refuseRunParameters(const RunParameters& params,
                                               const GivenAnswers& given = {});

}  // namespace kelvarin
