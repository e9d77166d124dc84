C     Reference listing program written against the Fortran binding: the
C     same calls, order and formats as the C++ stalist, so that the two
C     listings can be compared byte for byte.
      PROGRAM STALISTF
      IMPLICIT NONE
      INTEGER MXSTA, NVAR
      PARAMETER (MXSTA = 600000, NVAR = 41)
      CHARACTER*128 MESOBN
      CHARACTER*9 CSTRTM
      CHARACTER*10 STID(MXSTA), PRVID(MXSTA)
      CHARACTER*9 CRPTTM(MXSTA)
      INTEGER ISTNM(MXSTA), ISRCN(MXSTA)
      REAL SLAT(MXSTA), SLON(MXSTA), SELV(MXSTA)
      REAL OBS(MXSTA, NVAR)
      CHARACTER*1 QCD(MXSTA, NVAR)
      INTEGER IQCA(MXSTA, NVAR), IQCR(MXSTA, NVAR)
      CHARACTER*7 VCNAME(NVAR)
      INTEGER IERFIN, IERSSP1, IERSSP2, IERFCT, IERFST, IERFGS
      INTEGER IYR, IMO, IDY, IHR, IMN, NSTA, NS, NO, I, J, K
      INTEGER LIST(8)
      SAVE
      DATA MESOBN /'20210825_2000.2133'/
      DATA VCNAME /'TD', 'ALTSE', 'P', 'T', 'DD', 'FF', 'SOILM',
     &  'SOILT', 'PCP1H', 'PCP24H', 'PCPUTCM', 'PCPRATE', 'DDGUST',
     &  'FFGUST', 'RDT1', 'RDT2', 'RDT3', 'RDT4', 'RDLFT1', 'RDLFT2',
     &  'RDLFT3', 'RDLFT4', 'RDLIP1', 'RDLIP2', 'RDLIP3', 'RDLIP4',
     &  'RDLDP1', 'RDLDP2', 'RDLDP3', 'RDLDP4', 'RDSTA1', 'RDSTA2',
     &  'RDSTA3', 'RDSTA4', 'FSRD15M', 'FSRD1H', 'FSRD24H', 'DSRD15M',
     &  'DSRD1H', 'DSRD24H', 'VIS'/
      DATA LIST /1, 2, 3, 4, 5, 6, 9, 10/

      OPEN (51, FILE='run.out', FORM='FORMATTED', STATUS='REPLACE')
      CALL MINIT('SFC', 'ZEM', .FALSE., IERFIN)
      IF (IERFIN .NE. 0) THEN
        WRITE (*,*) 'bad return from MINIT with ierfin = ', IERFIN
        STOP
      END IF
      CALL MSETSFCPVDR('ALL-SFC', .FALSE., IERSSP1)
      IF (IERSSP1 .NE. 0) THEN
        WRITE (*,*) 'bad return from MSETSFCPVDR with ierssp1 = ',
     &    IERSSP1
        STOP
      END IF
      CALL MSETSFCPVDR('ALL-MESO', .TRUE., IERSSP2)
      IF (IERSSP2 .NE. 0) THEN
        WRITE (*,*) 'bad return from MSETSFCPVDR with ierssp2 = ',
     &    IERSSP2
        STOP
      END IF
      READ (MESOBN(1:13), '(I4,I2,I2,1X,I2,I2)') IYR, IMO, IDY, IHR,
     &  IMN
      CALL MCHRTIM(IYR, IMO, IDY, IHR, IMN, CSTRTM, IERFCT)
      IF (IERFCT .NE. 0) THEN
        WRITE (*,*) 'bad return from MCHRTIM with ierfct = ', IERFCT
        STOP
      END IF
      CALL MSFCSTA(CSTRTM, NSTA, STID, ISTNM, SLAT, SLON, SELV, CRPTTM,
     &  PRVID, IERFST, ISRCN)
      IF (IERFST .NE. 0) THEN
        IF (IERFST .EQ. 1006) THEN
          WRITE (*,*) 'contained no reports'
        ELSE
          WRITE (*,*) 'bad return from MSFCSTA with ierfst = ', IERFST
        END IF
        STOP
      END IF
      WRITE (51, 100) NSTA
      WRITE (51, 110)
      DO I = 1, NSTA
        WRITE (51, 120) I, STID(I), PRVID(I), CRPTTM(I), SLAT(I),
     &    SLON(I), SELV(I)
      END DO
      DO J = 1, NVAR
        CALL MGETSFC(CSTRTM, VCNAME(J), NS, NO, OBS(1,J), QCD(1,J),
     &    IQCA(1,J), IQCR(1,J), IERFGS)
        IF (IERFGS .NE. 0 .AND. IERFGS .NE. 1005 .AND.
     &      IERFGS .NE. 1006) THEN
          WRITE (*,*) 'bad return from MGETSFC with ierfgs = ', IERFGS
          STOP
        END IF
      END DO
      DO I = 1, NSTA
        WRITE (51, 130)
        WRITE (51, 140) I
        WRITE (51, 150) (OBS(I, LIST(K)), K = 1, 8)
        WRITE (51, 160) (QCD(I, LIST(K)), K = 1, 8)
        WRITE (51, 170) (IQCA(I, LIST(K)), K = 1, 8)
        WRITE (51, 180) (IQCR(I, LIST(K)), K = 1, 8)
      END DO
  100 FORMAT ('number of retrieved stations =', I7)
  110 FORMAT ('            STID    PROVIDER     RPTTIM',
     &        '        LAT     LONG      ELEV')
  120 FORMAT (I7, 2X, A10, 2X, A10, 2X, A9, 3F10.2)
  130 FORMAT ()
  140 FORMAT ('data for station #', I7)
  150 FORMAT ('obs = ', 8F10.2)
  160 FORMAT ('qcd = ', 8(2X, A1))
  170 FORMAT ('iqca = ', 8I7)
  180 FORMAT ('iqcr = ', 8I7)
      END
