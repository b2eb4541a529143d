#pragma once

#include <functional>
#include <string>

namespace pondera {

// The one error trap every user command of the main window runs under. A failure inside the
// command is reported (number, sentence, detail) and the program goes on; when the outermost
// command ends the changes are committed; a commit that fails is reported as not yet saved, and
// the store tries those changes again at the next commit.
class CommandTrap {
  public:
    struct Hooks {
        // Tells the user of a failure: its error number, a sentence, and what failed.
        std::function<void(int number, const std::string &sentence, const std::string &detail)>
            report;
        // Puts the program back on the record shown after a command failed half-way.
        std::function<void()> recover;
        // Makes the changes durable; may raise.
        std::function<void()> commit;
        // Runs after the outermost command and its commit.
        std::function<void()> finished;
    };

    explicit CommandTrap(Hooks hooks) : hooks_(std::move(hooks)) {}

    // Runs body under the trap. Commands may nest (the record display runs inside Load); only
    // the outermost commits.
    void Run(const std::function<void()> &body);
    bool Running() const { return depth_ > 0; }

  private:
    void commit();

    Hooks hooks_;
    int depth_ = 0;
};

}  // namespace pondera
