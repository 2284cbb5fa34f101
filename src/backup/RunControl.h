#pragma once

// Keeps backup runs from overlapping and lets a closing window stop the one in progress.
namespace RunControl {

// Marks a run as started; false (and nothing changes) when one is already in progress.
bool TryBegin();
void End();
bool IsRunning();

// Asks the run in progress to stop: the archive being written is abandoned (its previous
// version stays) and no further folder is started. Safe to ask from any thread.
void RequestCancel();
bool CancelRequested();

// Begins a run for the lifetime of the guard, when none is in progress.
class Guard
{
public:
    Guard()
        : m_owns(TryBegin())
    { }
    ~Guard()
    {
        if (m_owns)
            End();
    }
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;
    bool owns() const { return m_owns; }

private:
    bool m_owns;
};

} // namespace RunControl
