# The headers a host builds against, as paths below the source tree. They are
# staged under <build>/include/sessiondeck/ with their includes rewritten to
# <sessiondeck/...>, and installed from there. A header listed here must reach
# only other listed headers, the standard library and the two generated
# headers; the installed_headers_compile_alone test checks each one.
set(SESSIONDECK_PUBLIC_HEADERS
  foundation/buffer.h
  foundation/containers.h
  foundation/export.h
  foundation/istring.h
  foundation/product.h
  foundation/report.h
  foundation/synch_object.h
  foundation/unicode_string.h
  foundation/unknown.h
  profile/composite_values.h
  profile/ini_store.h
  profile/profile_data.h
  profile/profile_store.h
  profile/random_source.h
  profile/registry_hive.h
  profile/registry_store.h
  profile/secret_forms.h
  profile/secret_settings.h
  profile/security_descriptor.h
  profile/text_form.h
  data/binary_records.h
  data/color_scheme.h
  data/keymap.h
  data/synchronize_profile.h
  data/url.h
  session/button_bar.h
  session/connect_config.h
  session/connect_protocol_table.h
  session/firewall_config.h
  session/firewall_store.h
  session/remote_host_config.h
  session/serial_device_config.h
  session/session_config.h
  session/session_database.h
  session/terminal_config.h
  app/config_folder.h
  app/create_session.h
  app/global_config.h
  app/init.h
  app/module_folder.h
  app/protocol_loader.h
  app/siblings.h
  app/version.h)
