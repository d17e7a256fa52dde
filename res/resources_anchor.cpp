// Gives the resource library an object of its own; the artwork is attached by qt_add_resources.
namespace appresources {
int Anchor() {
  return 0;
}
}  // namespace appresources
