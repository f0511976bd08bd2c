// The few panel devices the main audio engine drives, seen through narrow interfaces so that the
// engine does not depend on the panel's classes: the controller hands in the real ones.
#pragma once

namespace orva {

// Level meters of the front panel (input or output, left and right peak).
class level_meter_sink {
 public:
  virtual ~level_meter_sink() = default;
  virtual void set_meter_level(bool input, int left, int right) = 0;
};

// The headphone volume control.
class volume_port {
 public:
  virtual ~volume_port() = default;
  virtual int get() const = 0;
  // Returns the volume in force afterwards.
  virtual int set(int volume) = 0;
};

// One GPIO output line.
class output_line_port {
 public:
  virtual ~output_line_port() = default;
  virtual int set(bool on) = 0;
  virtual bool get() const = 0;
};

}  // namespace orva
