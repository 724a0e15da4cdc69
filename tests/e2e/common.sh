# Sourced by the end-to-end tests.

# require_tools TOOL...: the test is skipped (status 77, which ctest reports
# as skipped) when one of them is missing.
require_tools() {
  local tool
  for tool in "$@"; do
    if ! command -v "$tool" >/dev/null 2>&1; then
      echo "SKIP: $tool is missing (scripts/install-deps installs it)"
      exit 77
    fi
  done
}
