// One umockdev test bed: emulated sysfs, udev and device nodes that the unmodified hidapi and
// libusb see through umockdev's preload library. umockdev answers the nodes' calls on a thread
// of its own (the link's thread is busy inside hidapi and libusb meanwhile); the test bed keeps
// a second thread for the devices' timers.
//
// The program must run under umockdev-wrapper (or umockdev-run). One test bed per process at a
// time: umockdev finds it through $UMOCKDEV_DIR.
#pragma once

#include <umockdev.h>

#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace usbemu {

class Testbed {
 public:
  Testbed();
  ~Testbed();
  Testbed(const Testbed&) = delete;
  Testbed& operator=(const Testbed&) = delete;

  // True when the process runs under umockdev's preload library.
  static bool Available();

  // Adds the devices of a umockdev record ("P:", "N:", "E:", "A:", "H:" lines); false when
  // umockdev refuses it.
  bool Add(const std::string& record);
  // Unplugs devices (their sysfs paths, as the record's "P:" lines say), children first:
  // umockdev takes away only the device's own node and links, so a child left behind would
  // keep its node and stop the device from being added again.
  void Remove(const std::vector<std::string>& sysfs_paths);
  // Hands the device node's ioctl, read and write calls to `handler`.
  bool Attach(const std::string& node, UMockdevIoctlBase* handler);
  // The real file behind an emulated path ("/dev/hidraw0" → its file in the test bed).
  std::string RealPath(const std::string& path) const;

  // Runs `work` on the test bed's thread and waits for it.
  void Run(const std::function<void()>& work);
  // Runs `work` on the test bed's thread every `ms` milliseconds until the test bed goes.
  void Every(unsigned ms, std::function<void()> work);
  // Runs `work` once on the test bed's thread, `ms` milliseconds from now.
  void After(unsigned ms, std::function<void()> work);

 private:
  // The test bed's thread unplugs too (a firmware fault); umockdev's test bed is not thread-safe.
  std::mutex mutex_;
  UMockdevTestbed* bed_ = nullptr;
  GMainContext* context_ = nullptr;
  GMainLoop* loop_ = nullptr;
  std::thread thread_;
  std::string root_;
};

}  // namespace usbemu
