#ifndef STATUSDISPLAY_H
#define STATUSDISPLAY_H

#include <QString>
#include <cstdint>

// What the single-axis window shows of a status sample, without widgets: the texts, the
// slider's range and scale divisor, and the limit marks. All range arithmetic is done in 64 bits
// and clamped to int, so positions near the ends of the int range neither wrap nor overflow.
namespace StatusDisplay {

// A step value with its microstep part over divisor; padded fills the microsteps to the width of
// the divisor, so that the text does not jump while the axis moves.
QString stepsText(int step, int microstep, int divisor, bool padded);

// The power of ten that divides the slider's scale labels for the range min..max.
int sliderDivisor(int64_t min, int64_t max);

// The rich text of the divisor label; empty for a divisor of 1.
QString divisorLabelText(int divisor, const QString& positionUnit);

struct Range
{
    int min;
    int max;
};

// The slider's range: left..right, or, while watchOverLimits is set and position lies outside,
// the same width moved so that its nearer end is at the position.
Range shiftRangeToPosition(int left, int right, int position, bool watchOverLimits);

// Texts of the command and power states (untranslated source texts, context "MainWindow").
const char* commandText(unsigned int mvCmdSts);
const char* powerStateText(unsigned int pwrSts);

// Upwr or Uusb (hundredths of a volt) as "12.34 V".
QString voltageText(int hundredths);
// curT (tenths of a degree) as rich text.
QString temperatureText(int tenths);

// Whether |value| reaches the nominal value; both compared as unsigned 32-bit numbers.
bool atLimit(int64_t value, unsigned int nominal);
// text with an overline, as the limit mark.
QString overlined(const QString& text);

// The alarm tint of a window colour: red raised, green and blue lowered by a tenth.
void alarmTint(int red, int green, int blue, int* outRed, int* outGreen, int* outBlue);

} // namespace StatusDisplay

#endif // STATUSDISPLAY_H
