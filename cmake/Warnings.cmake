# Warnings for every target of the project.
add_compile_options(-Wall -Wextra -Wno-unused-parameter)

# Compile a target's sources without fused multiply-add, so floating results
# are the same on every machine and with every optimisation level.
function(orm_strict_float target)
  target_compile_options(${target} PRIVATE -ffp-contract=off)
endfunction()
