#pragma once

namespace selvar::panel {

// What a gain panel needs from the rest of the program: the chip link acting on both panels'
// words, and the common pins. The entry side implements it; tests may fake it.
class PanelLink {
  public:
    virtual ~PanelLink() = default;
    // One frame carrying the DUT2 panel's word, then the DUT1 panel's, as the sliders hold them.
    virtual void sendGainWords() = 0;
    // Reads the chips back and writes the code labels of both panels.
    virtual void readBackGainRegisters() = 0;
    // The ramp's time base: delay x step x 2000 reads of the selected port's data register.
    virtual void waitSteps(int delay, int step) = 0;
    // Whether the program was asked to end (a termination signal): a running ramp then stops
    // after the move in progress, and its wait ends early. Cheap, never blocks.
    virtual bool stopRequested() const { return false; }
    virtual void setZcdPin() = 0;
    virtual void clearZcdPin() = 0;
    virtual void clearMutePin() = 0;
    virtual void setMutePin() = 0;
};

}  // namespace selvar::panel
