# The sources of the two command sets and all they reach (the request decoder,
# the reply builders, the platform calls, the registry store): part of
# player_core, and built again to WebAssembly for the web export (web/).
# Paths are relative to src/.
set(PLAYER_COMMAND_SOURCES
    bridge/external_interface.cpp
    bridge/fs_commands.cpp
    bridge/host_commands.cpp
    bridge/link_policy.cpp
    platform/ascii_case.cpp
    platform/base64.cpp
    platform/case_path.cpp
    platform/file_io.cpp
    platform/guid.cpp
    platform/message_box.cpp
    platform/path.cpp
    platform/text.cpp
    platform/workspace.cpp
    services/registry_store.cpp
    xml/xml_document.cpp
)
