# The sources of the two command sets and all they reach (the request decoder,
# the reply builders, the platform calls, the registry store): part of
# player_core, and built again to WebAssembly for the web export (web/).
# Paths are relative to src/.
set(PLAYER_COMMAND_SOURCES
    core/bridge/external_interface.cpp
    core/bridge/fs_commands.cpp
    core/bridge/host_commands.cpp
    core/bridge/link_policy.cpp
    core/platform/ascii_case.cpp
    core/platform/base64.cpp
    core/platform/case_path.cpp
    core/platform/file_io.cpp
    core/platform/guid.cpp
    core/platform/message_box.cpp
    core/platform/path.cpp
    core/platform/text.cpp
    core/platform/workspace.cpp
    core/services/registry_store.cpp
    core/xml/xml_document.cpp
)
