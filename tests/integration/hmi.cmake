# The HMI client tests run the real runtime stand-in.
add_dependencies(integration_hmi_client_test kestrix-hmi)
target_compile_definitions(integration_hmi_client_test PRIVATE
  KESTRIX_HMI_PROGRAM="$<TARGET_FILE:kestrix-hmi>")
